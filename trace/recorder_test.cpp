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

// A tableau of M rows (the objective the M-th, the phase-1 row after it) by
// N columns, every entry its own value i * 10000 + j, reported `steps`
// times: the entry, then pivots numbered by iteration.
struct Feed {
  std::int32_t M, N, NV;
  std::vector<double> a;
  std::vector<std::int32_t> row, col;
  std::vector<double> bound;
  Feed(std::int32_t m, std::int32_t n)
      : M(m),
        N(n),
        NV(m + n - 2),
        a(std::size_t(m + 1) * std::size_t(n)),
        row(std::size_t(m - 1)),
        col(std::size_t(n - 1)),
        bound(std::size_t(m + n - 2), 1.0e30) {
    for (std::int32_t j = 1; j <= n; ++j) {
      for (std::int32_t i = 1; i <= m + 1; ++i) {
        a[std::size_t(j - 1) * std::size_t(m + 1) + std::size_t(i - 1)] =
            i * 10000 + j;
      }
    }
    for (std::int32_t j = 1; j < n; ++j) col[std::size_t(j - 1)] = j;
    for (std::int32_t i = 1; i < m; ++i) row[std::size_t(i - 1)] = n - 1 + i;
  }
  void run(karvon::StepObserver& o, std::int32_t steps) const {
    const karvon::TableauView t{a.data(),
                                a.size(),
                                row.data(),
                                row.size(),
                                col.data(),
                                col.size(),
                                bound.data(),
                                bound.size(),
                                M + 1,
                                N,
                                M,
                                N,
                                NV};
    for (std::int32_t k = 0; k < steps; ++k) {
      o.step({k == 0 ? karvon::StepKind::kEntry : karvon::StepKind::kPivot,
              karvon::StepPhase::kTwo, k, 0, 1, 1, 1, N, t});
    }
  }
};

// The first steps and the last ones, in order, whatever the ring's turn.
TEST(Recorder, KeepsTheFirstAndTheLastStepsAndCountsThem) {
  struct Case {
    std::int32_t max_steps;
    std::int64_t max_bytes;
    std::int32_t reported;
    std::vector<std::int32_t> kept;  // their iterations
  };
  const Case cases[] = {{10, 1 << 30, 4, {0, 1, 2, 3}},
                        {4, 1 << 30, 9, {0, 1, 7, 8}},
                        {5, 1 << 30, 11, {0, 1, 2, 9, 10}},
                        {4, 1 << 30, 10, {0, 1, 8, 9}},
                        {2, 1 << 30, 100002, {0, 100001}},
                        // A step of 3 x 4 holds about 300 bytes.
                        {1000, 1300, 20, {0, 1, 18, 19}},
                        {1000, 1, 20, {0, 19}}};
  const Feed feed(3, 4);
  for (const Case& c : cases) {
    ProblemTrace p;
    {
      Recorder r(p, {c.max_steps, c.max_bytes});
      feed.run(r, c.reported);
    }
    std::vector<std::int32_t> kept;
    for (const StepRecord& s : p.steps) kept.push_back(s.iteration);
    EXPECT_EQ(kept, c.kept) << c.max_steps << ", " << c.max_bytes << " bytes";
    EXPECT_EQ(p.total, c.reported);
    // All of them, or the first half of those kept before the gap.
    const std::size_t kept_count = c.kept.size();
    EXPECT_EQ(p.first, kept_count == std::size_t(c.reported)
                           ? kept_count
                           : kept_count - kept_count / 2);
  }
}

// A large tableau keeps its first rows and columns, the objective, the
// phase-1 row and the right-hand side; the values come from the whole.
TEST(Recorder, KeepsAViewOfALargeTableau) {
  const Feed feed(120, 300);
  ProblemTrace p;
  {
    Recorder r(p, Budget{});
    feed.run(r, 2);
  }
  ASSERT_EQ(p.view_rows, kViewRows);
  ASSERT_EQ(p.view_cols, kViewColumns);
  const StepRecord& s = p.steps.back();
  const std::size_t width = std::size_t(kViewColumns + 1);
  ASSERT_EQ(s.a.size(), std::size_t(kViewRows + 2) * width);
  EXPECT_EQ(s.a[width - 2], 10000 + kViewColumns);
  EXPECT_EQ(s.a[width - 1], 10000 + 300);
  EXPECT_EQ(s.a[std::size_t(kViewRows) * width], 120 * 10000 + 1);
  EXPECT_EQ(s.a.back(), 121 * 10000 + 300);
  EXPECT_EQ(s.row.size(), std::size_t(kViewRows));
  EXPECT_EQ(s.col.size(), std::size_t(kViewColumns));
  // Basic variables at their right-hand side, whatever the view.
  EXPECT_EQ(p.x[std::size_t(299 + 119 - 1)], 119 * 10000 + 300);
}

// Problems thinned alike until the page fits, their first and last steps
// kept; under the smallest budget no step fits, and none is kept.
TEST(PageBudget, ThePageFitsItsBytes) {
  const Feed small(3, 4), large(49, 60);
  for (const std::int64_t bytes : {100'000, 400'000, 3'000'000}) {
    const Budget budget{1000, bytes};
    PageBudget fit(budget, "budget");
    std::vector<ProblemTrace> problems;
    for (const Feed* f : {&large, &small, &large, &small}) {
      ProblemTrace& p = problems.emplace_back();
      {
        Recorder r(p, budget);
        f->run(r, 700);
      }
      p.ended = true;
      fit.add(problems);
    }
    EXPECT_LE(std::int64_t(page(problems, "budget", "").size()), bytes);
    for (const ProblemTrace& p : problems) {
      ASSERT_EQ(p.steps.size() >= 2, bytes > 100'000) << bytes;
      if (p.steps.empty()) continue;
      EXPECT_EQ(p.steps.front().iteration, 0);
      EXPECT_EQ(p.steps.back().iteration, 699);
    }
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
