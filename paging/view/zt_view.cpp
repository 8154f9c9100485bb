// The send-page form's handlers: first showing, look-up by PIN, character
// count, Clear Message, the start of a send and help. Handlers reached from
// the form's signals run through Guarded, which shows a store failure with
// the stop icon and abandons the handler, so the program keeps running.
#include "paging/view/zt_view.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <vector>

#include "paging/line_text.h"
#include "paging/page_check.h"
#include "paging/reply_rules.h"
#include "paging/view/enter_keys.h"
#include "seriallink/trace.h"

namespace zentrel {

CZTView::CZTView(CZTSet* document_set, QWidget* parent, int timer_interval_ms)
    : QWidget(parent), document_set_(document_set), message_box_(AppMessageBox()) {
  BuildControls();
  timer_ = new QTimer(this);
  timer_->setTimerType(Qt::PreciseTimer);  // 4000 ms means 4000 ms, not 5% either way
  timer_->setInterval(timer_interval_ms);
  ui_queue_ = new UiQueue(this);
  call_watch_ = new CallWatch(this, [this](CallWatch::Expiry why) { OnCallExpired(why); });
  transaction_ = std::make_unique<CPageTransaction>(
      *this, [this]() -> ILinkWriter* { return m_pCommLink.load(); });
  ConnectHandlers();
}

CZTView::~CZTView() = default;

bool CZTView::Guarded(const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const CDaoException& e) {
    message_box_(this, QString::fromStdString(e.what()), QMessageBox::Critical);
    return false;
  }
}

void CZTView::ConnectHandlers() {
  auto guard = [this](void (CZTView::*handler)()) {
    return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
  };
  auto hook = [this](ButtonFn CZTView::*fn) {
    return [this, fn] {
      if (this->*fn) Guarded(this->*fn);
    };
  };
  connect(m_comboPin, &QComboBox::activated, this, guard(&CZTView::OnSelchangePin));
  connect(m_buttonClear, &QPushButton::clicked, this, guard(&CZTView::OnClearMessage));
  connect(m_buttonSend, &QPushButton::clicked, this, guard(&CZTView::OnSendPage));
  connect(m_buttonAdd, &QPushButton::clicked, this, hook(&CZTView::on_add_));
  connect(m_buttonEdit, &QPushButton::clicked, this, hook(&CZTView::on_edit_));
  connect(m_buttonStored, &QPushButton::clicked, this, hook(&CZTView::on_stored_));
  // The block takes the message as the line carries it.
  connect(m_editMessage, &QPlainTextEdit::textChanged, this, [this] {
    state_.SetMessage(PageMessageText(m_editMessage->toPlainText().toStdString()));
    UpdateCharCount();
  });
  connect(m_comboPin->lineEdit(), &QLineEdit::textChanged, this,
          [this](const QString& text) { state_.SetPin(text.toLatin1().toStdString()); });
  connect(timer_, &QTimer::timeout, this, guard(&CZTView::OnTimer));
  ConnectEnterKeys();
}

// Enter in a box presses Send Page; a focused button takes Enter itself.
void CZTView::ConnectEnterKeys() {
  auto* enter = new EnterKeys(m_buttonSend, this);
  for (QWidget* box :
       std::initializer_list<QWidget*>{m_editPhone, m_editStatus, m_editMessage, m_editFirstName,
                                       m_editLastName, m_editCharCount}) {
    enter->Watch(box);
  }
  enter->WatchPinBox(m_comboPin);
  for (QPushButton* button :
       {m_buttonSend, m_buttonAdd, m_buttonEdit, m_buttonClear, m_buttonStored}) {
    button->setAutoDefault(true);
  }
}

void CZTView::OnInitialUpdate() {
  m_pSet = document_set_;
  m_database.Open("vp.mdb");
  if (!m_pSet->IsOpen()) m_pSet->Open();
  // An empty table leaves the list empty and looks nothing up.
  if (m_pSet->IsEOF()) {
    UpdateCharCount();
    return;
  }
  FillPinBox();
  m_comboPin->SetCurSel(m_comboPin->GetTopIndex());
  OnSelchangePin();
  UpdateCharCount();
}

// Every record's PIN once, in the store's order; the box sorts them.
void CZTView::FillPinBox() {
  std::vector<std::string> pins;
  const long count = m_pSet->GetRecordCount();
  pins.reserve(static_cast<std::size_t>(std::max(count, 0L)));
  long n = 0;
  do {
    ++n;
    pins.push_back(m_pSet->m_pin);
    m_pSet->MoveNext();
  } while (count > n && !m_pSet->IsEOF());
  m_comboPin->SetPins(std::move(pins));
}

int CZTView::LookupPin(const std::string& pin) {
  m_pSet->m_strFilter = "pin = '" + pin + "'";
  m_pSet->Requery();
  if (m_pSet->GetRecordCount() > 0) {
    m_editLastName->setText(QString::fromStdString(m_pSet->m_lname));
    m_editFirstName->setText(QString::fromStdString(m_pSet->m_fname));
    m_editPhone->setText(QString::fromStdString(m_pSet->m_pagephone));
    m_comboPin->SelectString(QString::fromStdString(pin));
  } else {
    message_box_(this, QStringLiteral("Did not find Pin number in database, try again!"),
                 QMessageBox::Warning);
  }
  return 1;
}

void CZTView::OnSelchangePin() {
  const int index = m_comboPin->currentIndex();
  const QString text = index >= 0 ? m_comboPin->itemText(index) : QString();
  LookupPin(text.toStdString());
}

// The message's characters without its line breaks.
void CZTView::UpdateCharCount() {
  const QString text = m_editMessage->toPlainText();
  const auto count = text.size() - text.count(QLatin1Char('\n'));
  m_editCharCount->setText(QString::number(count));
  // A message longer than a page holds or that the line cannot carry as
  // typed: the count says so before a send.
  QStringList notices{LineNotice(), QString::fromStdString(MessageCutNotice(state_.Message()))};
  notices.removeAll(QString());
  m_editCharCount->setToolTip(notices.join(QLatin1Char('\n')));
  m_editCharCount->setStyleSheet(notices.isEmpty() ? QString() : QStringLiteral("color: red"));
}

QString CZTView::TypedMessage() const { return m_editMessage->toPlainText(); }

QString CZTView::LineNotice() const {
  return QString::fromStdString(LineAsciiNotice(m_editMessage->toPlainText().toStdString()));
}

void CZTView::OnClearMessage() {
  m_editMessage->setPlainText(QString());
  UpdateCharCount();
}

void CZTView::OnSendPage() {
  // One call at a time: a second press leaves the call under way, its flags
  // and its timer alone.
  if (call_under_way_ && call_under_way_()) {
    message_box_(this, QString::fromLatin1(kCallUnderWayText), QMessageBox::Warning);
    return;
  }
  ClearTransactionFlags();
  ++send_;
  seen_ = {};
  // Something shows at once: the notice about the text, else the first step.
  const QString before = m_editStatus->toPlainText();
  const QString notice = LineNotice();
  ApplyStatus(notice.isEmpty()
                  ? QString::fromLatin1(kStatusPreparing.data(), kStatusPreparing.size())
                  : notice);
  m_editStatus->repaint();
  const std::string number = m_editPhone->text().toLatin1().toStdString();
  const int dialled = start_send_ ? start_send_(number.c_str()) : 0;
  if (dialled == 0) {
    OutputDebugStringA("Dial call failed.\n");
    m_editStatus->setPlainText(before);  // nothing was dialled: the form shows nothing of its own
    return;
  }
  call_watch_->Begin();
}

void CZTView::OnHelp() {
  const QFileInfo file(help_file_);
  if (help_file_.isEmpty() || !file.isFile()) {
    message_box_(this, QStringLiteral("The help file %1 was not found.").arg(help_file_),
                 QMessageBox::Warning);
    return;
  }
  OpenHelp(file.absoluteFilePath());
}

// The desktop's opener says by its exit status whether a program showed the
// file; one that cannot start, fails or finds no viewer is reported.
void CZTView::OpenHelp(const QString& path) {
  auto* opener = new QProcess(this);
  auto not_opened = [this, opener, path] {
    opener->deleteLater();
    message_box_(
        this,
        QStringLiteral("The help file %1 could not be opened: no program to show it was found. "
                       "Open it in a web browser.")
            .arg(path),
        QMessageBox::Warning);
  };
  connect(opener, &QProcess::errorOccurred, this,
          [opener, not_opened](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) not_opened();
          });
  connect(opener, &QProcess::finished, this,
          [opener, not_opened](int code, QProcess::ExitStatus status) {
            if (status != QProcess::NormalExit || code != 0) {
              not_opened();
            } else {
              opener->deleteLater();
            }
          });
  opener->start(help_opener_, {path});
}

}  // namespace zentrel
