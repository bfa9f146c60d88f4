// Fuzz target: any bytes as an MPS model for mps2deck. A model it accepts
// must come out as a deck that karvon reads to its end: the driver run on
// that deck ends with the plain stop (or a stop code of the solver), never
// with a read error, which would mean mps2deck wrote what karvon cannot read.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "deck/writer.h"
#include "driver/karvon.h"
#include "fuzz/fuzz_support.h"
#include "model/deck_builder.h"
#include "modelio/mps_reader.h"
#include "recio/errors.h"
#include "recio/units.h"

namespace {

constexpr const char* kModelName = "model.mps";

void write_model(const std::uint8_t* data, std::size_t size) {
  const int fd = ::open(kModelName, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) {
    fuzz::finding("cannot write the model file");
  }
  ::close(fd);
}

void run_deck(const std::string& text) {
  fuzz::set_standard_input(reinterpret_cast<const std::uint8_t*>(text.data()),
                           text.size());
  try {
    driver::run();
  } catch (const recio::RunEnd& end) {
    const bool stop = end.kind() == recio::RunEnd::Kind::kPlainStop ||
                      end.kind() == recio::RunEnd::Kind::kNumericStop;
    (void)recio::close_all();
    if (!stop) {
      fuzz::finding("karvon did not read the deck to its end: " +
                    std::string(end.line()) + "\n" + text);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_private_directory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  fuzz::clear_directory();
  write_model(data, size);
  const modelio::ReadResult read =
      modelio::read_mps(kModelName, kModelName, modelio::MpsFormat::kAuto);
  if (!read.ok) return 0;
  const model::BuildResult built = model::build_deck(read.model);
  if (!built.ok) return 0;
  const deck::Text deck = deck::to_text(built.deck, {});
  run_deck(deck.text);
  return 0;
}
