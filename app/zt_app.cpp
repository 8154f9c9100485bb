// Start-up of the application. The document template stands for the
// framework's single-document template: it makes the document, the frame
// and the form, and runs the form's first showing before the frame is shown.
#include "app/zt_app.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

#include "app/form_host.h"
#include "app/main_frame.h"
#include "app/send_wiring.h"
#include "app/zt_doc.h"
#include "paging/view/zt_view.h"
#include "zentrel/build_config.h"

namespace zentrel {

struct CZTApp::DocTemplate {
  std::function<std::unique_ptr<CZTDoc>()> new_document;
  std::function<std::unique_ptr<CMainFrame>()> new_frame;
  std::function<CZTView*(CZTDoc&, CMainFrame&)> new_view;
};

QString DefaultHelpFile() {
  const QDir bin(QCoreApplication::applicationDirPath());
  const QString name = QStringLiteral("zentrel-help.html");
  if (bin.exists(name)) return bin.filePath(name);
  return QDir::cleanPath(bin.filePath(QStringLiteral("%1/%2").arg(kDocDirFromBinDir, name)));
}

CZTApp::CZTApp() : CZTApp(Options{}) {}
CZTApp::CZTApp(Options options) : options_(std::move(options)) {}
CZTApp::~CZTApp() = default;

CZTView* CZTApp::View() const { return frame_ ? frame_->View() : nullptr; }

bool CZTApp::InitInstance() {
  // 1. Socket layer: nothing to set up here, but a failure would end start-up.
  if (!options_.init_sockets()) {
    options_.message_box(nullptr, QStringLiteral("Windows sockets initialization failed."),
                         QMessageBox::Warning);
    return false;
  }
  // 2. Three-dimensional controls: Qt's style draws them already.
  // 3. Profile settings: read only; the program writes none of its own.
  QSettings profile;
  profile.beginGroup(QStringLiteral("Recent File List"));
  for (int i = 1; i <= 4; ++i) profile.value(QStringLiteral("File%1").arg(i));
  profile.endGroup();
  // 4. The document template.
  template_ = std::make_unique<DocTemplate>(DocTemplate{
      [] { return std::make_unique<CZTDoc>(); }, [] { return std::make_unique<CMainFrame>(); },
      [this](CZTDoc& doc, CMainFrame& frame) {
        auto* view = new CZTView(&doc.m_ztSet, &frame, options_.timer_interval_ms);
        view->SetMessageBox(options_.message_box);
        view->SetCallIntervals(options_.call_timeout_ms, options_.hangup_grace_ms);
        view->SetHelpFile(options_.help_file.isEmpty() ? DefaultHelpFile() : options_.help_file);
        return view;
      }});
  // 5. The command line: a new, empty document, its frame and its form.
  if (!ProcessShellCommand()) return false;
  // 6. The caption, last.
  frame_->setWindowTitle(QStringLiteral("Zentrel"));
  return true;
}

// The form's buttons reach the dialogs' flows and the telephony.
void CZTApp::PlugInSends(CZTView& view) {
  host_ = std::make_unique<ViewFormHost>(view, options_.run_dialog, options_.ask);
  ConnectDialogFlows(view, *host_);
  MessageBoxFn box = options_.message_box;
  QWidget* parent = &view;
  wiring_ = std::make_unique<SendWiring>(
      view, [box, parent](const std::string& text, QMessageBox::Icon icon) {
        box(parent, QString::fromStdString(text), icon);
      });
  view.SetStartSend([this, &view](const char* number) {
    return wiring_->StartSend(number, view.CallEndNotice());
  });
  view.SetCallUnderWay([this] { return wiring_->CallUnderWay(); });
}

bool CZTApp::ProcessShellCommand() {
  document_ = template_->new_document();
  if (!document_->OnNewDocument()) return false;
  frame_ = template_->new_frame();
  CZTView* view = template_->new_view(*document_, *frame_);
  frame_->SetView(view);
  PlugInSends(*view);
  frame_->setWindowTitle(QStringLiteral("Untitled - ZT"));
  view->Guarded([view] { view->OnInitialUpdate(); });  // a store failure is shown
  view->m_comboPin->setFocus();                        // typing starts in the PIN list
  if (options_.show) frame_->show();
  return true;
}

}  // namespace zentrel
