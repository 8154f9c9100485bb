// The open line of a kind with no modem: nothing is held between calls but
// what the kind's opener needs (a serial line's port); each call is a
// DirectCall running that opener.
#include "telephony/direct_lines.h"

namespace zentrel {
namespace {

class DirectOpenLine : public IOpenLine {
 public:
  DirectOpenLine(std::string name, LineOpener opener, DirectTimings timings)
      : name_(std::move(name)), opener_(std::move(opener)), timings_(timings) {}

  std::unique_ptr<ILineCall> MakeCall(const std::string& destination, CallStateReport report,
                                      std::string*) override {
    return std::make_unique<DirectCall>(name_, opener_, destination, timings_, std::move(report));
  }

 private:
  std::string name_;
  LineOpener opener_;
  DirectTimings timings_;
};

}  // namespace

std::unique_ptr<IOpenLine> MakeDirectOpenLine(std::string name, LineOpener opener,
                                              DirectTimings timings) {
  return std::make_unique<DirectOpenLine>(std::move(name), std::move(opener), timings);
}

}  // namespace zentrel
