// Locked copies of the PIN box and message box texts. The UI thread refreshes
// them on every change of the boxes; the page transaction's read thread reads
// them, so it sees the boxes as they are when a block is processed without
// ever waiting for the UI thread (which may itself be waiting for it).
#pragma once

#include <mutex>
#include <string>

namespace zentrel {

class FormState {
 public:
  void SetPin(std::string text);
  void SetMessage(std::string text);  // line breaks already CR LF
  std::string Pin() const;
  std::string Message() const;

 private:
  mutable std::mutex mutex_;
  std::string pin_;
  std::string message_;
};

}  // namespace zentrel
