// The page transaction's window onto the form: the two boxes it reads and the
// status box it writes. The send-page view implements it over its widgets,
// the command-line sender over plain strings, the tests with a fake.
//
// Threads: every member may be called from the read thread. Reads give the
// boxes' contents as they are at the moment of the call, without waiting for
// the UI thread (the view keeps a locked copy that the UI thread refreshes on
// every change). UpdateStatus never waits for the UI thread either: the view
// queues it, so that status texts appear in the order given and the read
// thread can never deadlock with a Stop that waits for it.
#pragma once

#include <string>

namespace zentrel {

class IPageForm {
 public:
  virtual ~IPageForm() = default;
  virtual std::string PinBoxText() = 0;      // PIN box 1007, whole text
  virtual std::string MessageBoxText() = 0;  // message box 1008, whole text, CR LF line breaks
  // Status update: replace the whole text of the status box 1006, then scroll
  // it down one line.
  virtual void UpdateStatus(const std::string& text) = 0;
};

}  // namespace zentrel
