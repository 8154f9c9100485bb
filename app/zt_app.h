// The application object: start-up in its fixed order (socket layer, control
// drawing, profile settings, the document template, the command line that
// creates the document, frame and form, the caption last) and ownership of
// the one document and frame. Everything a test must replace is an option.
#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "dialogs/dialog_hooks.h"
#include "paging/transaction.h"
#include "paging/view/call_watch.h"
#include "paging/view/message_box.h"

namespace zentrel {

class CMainFrame;
class CZTDoc;
class CZTView;
class SendWiring;
class ViewFormHost;

class CZTApp {
 public:
  struct Options {
    int timer_interval_ms = kLogonTimerIntervalMs;
    int call_timeout_ms = kCallTimeoutMs;  // a call with no step for this long is hung up
    int hangup_grace_ms = kHangUpGraceMs;  // the terminal's time to hang up after the final word
    MessageBoxFn message_box = AppMessageBox();
    QString help_file;  // empty: beside the program
    std::function<bool()> init_sockets = [] { return true; };
    bool show = true;        // show the frame when ready
    RunDialogFn run_dialog;  // empty: QDialog::exec
    AskFn ask;               // empty: the real question box
  };

  CZTApp();
  explicit CZTApp(Options options);
  ~CZTApp();

  // Start-up. False ends the program before the message loop.
  bool InitInstance();

  CMainFrame* MainFrame() const { return frame_.get(); }
  CZTDoc* Document() const { return document_.get(); }
  CZTView* View() const;

 private:
  struct DocTemplate;
  bool ProcessShellCommand();  // a new, empty document with its frame and view
  void PlugInSends(CZTView& view);

  Options options_;
  std::unique_ptr<DocTemplate> template_;
  std::unique_ptr<CZTDoc> document_;
  std::unique_ptr<CMainFrame> frame_;
  // Declared after the frame: they go first, while the form still exists.
  std::unique_ptr<ViewFormHost> host_;
  std::unique_ptr<SendWiring> wiring_;
};

// The help file: beside the program in a build tree, else in the installed
// documentation folder.
QString DefaultHelpFile();

}  // namespace zentrel
