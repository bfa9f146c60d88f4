#include "trace/recorder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "trace/page.h"

namespace trace {
namespace {

// Labels as the driver hands them over: columns 1..3 are x1..x3, rows get
// slacks 4 and 5 (row 3 given negated), row 2 is an equation.
TEST(NameVariables, NamesColumnsSlacksSurplusesAndArtificials) {
  const std::vector<std::int32_t> row{4, 0, -5};
  const std::vector<std::int32_t> col{1, 2, 3};
  const std::vector<double> a(5 * 4, 0.0);
  const std::vector<double> bound(5, 1.0e30);
  const karvon::TableauView entry{a.data(),
                                  a.size(),
                                  row.data(),
                                  row.size(),
                                  col.data(),
                                  col.size(),
                                  bound.data(),
                                  bound.size(),
                                  5,
                                  4,
                                  4,
                                  4,
                                  5};
  const std::vector<VariableName> names = name_variables(entry);
  const std::vector<std::pair<std::string, std::string>> expected{
      {"x1", "x1"},
      {"x2", "x2"},
      {"x3", "x3"},
      {"s1", "slack of row 1"},
      {"s3", "surplus of row 3"},
      {"a2", "artificial of row 2"}};
  ASSERT_EQ(names.size(), expected.size());
  for (std::size_t k = 0; k < names.size(); ++k) {
    EXPECT_EQ(names[k].short_name, expected[k].first) << k;
    EXPECT_EQ(names[k].long_name, expected[k].second) << k;
  }
}

TEST(JsonNumber, ReadsBackAsTheSameDouble) {
  for (const double v : {0.1, -2.8, 1.0 / 3.0, 1e30, 5e-324, -0.0}) {
    EXPECT_EQ(std::strtod(json_number(v).c_str(), nullptr), v)
        << json_number(v);
  }
  EXPECT_EQ(json_number(std::numeric_limits<double>::quiet_NaN()), "\"NaN\"");
  EXPECT_EQ(json_number(-HUGE_VAL), "\"-Infinity\"");
}

TEST(Page, ATitleCannotCloseItsElements) {
  const std::string html = page({}, "a</script><b>&\"", "");
  EXPECT_EQ(html.find("</script><b>"), std::string::npos);
  EXPECT_NE(html.find("a&lt;/script&gt;&lt;b&gt;&amp;&quot;"),
            std::string::npos);
  EXPECT_NE(html.find("\"a\\u003c/script\\u003e\\u003cb\\u003e\\u0026\\\"\""),
            std::string::npos);
}

}  // namespace
}  // namespace trace
