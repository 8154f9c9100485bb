// The session's steps, each answering the replies it expects; a reply that
// doesn't belong to the step is ignored, as the terminal's own chatter is.
#include "tap/session.h"

#include <algorithm>
#include <cstdint>

#include "tap/blocks.h"
#include "tap/control_bytes.h"
#include "tap/reply_words.h"

namespace zentrel::tap {
namespace {

constexpr int kTransparentFrom = 18;  // version 1.8

}  // namespace

const char* PageStatusName(PageStatus status) {
  switch (status) {
    case PageStatus::kAccepted: return "accepted";
    case PageStatus::kRefused: return "refused";
    case PageStatus::kNotSent: break;
  }
  return "not sent";
}

int AnnouncedVersion(std::string_view line) {
  if (!line.starts_with("110 ") || line.size() < 7) return 0;
  const char major = line[4], minor = line[6];
  if (major < '0' || major > '9' || line[5] != '.' || minor < '0' || minor > '9') return 0;
  return (major - '0') * 10 + (minor - '0');
}

TapSession::TapSession(std::vector<OutgoingPage> pages, ISessionIo& io, SessionTimings timings)
    : pages_(std::move(pages)), io_(io), timings_(timings) {}

void TapSession::Start() {
  step_ = Step::kWaking;
  tries_ = 1;
  io_.Send(kWakeUp);
  io_.ArmTimer(timings_.wake_interval);
}

void TapSession::Receive(std::string_view bytes) {
  for (const char c : bytes) {
    if (step_ == Step::kDone) return;
    if (c == kLf) continue;
    if (c != kCr) {
      pending_ += c;
      if (step_ == Step::kWaking && pending_.ends_with("ID=")) {
        pending_.clear();
        tries_ = 0;
        SendLogon();
      }
      continue;
    }
    const std::string line = std::move(pending_);
    pending_.clear();
    OnLine(line);
  }
}

void TapSession::OnLine(std::string_view line) {
  if (line.find(kAck) != std::string_view::npos) return OnReply(Reply::kAck);
  if (line.find(kNak) != std::string_view::npos) return OnReply(Reply::kNak);
  if (line.find(kRs) != std::string_view::npos) return OnReply(Reply::kRs);
  if (line.find(kDisconnect) != std::string_view::npos) return OnReply(Reply::kDisconnect);
  if (line.find(kGoAhead) != std::string_view::npos) return OnReply(Reply::kGoAhead);
  if (const int version = AnnouncedVersion(line); version > 0) {
    transparent_ = version >= kTransparentFrom;
  }
  const std::string words = ReplyWords(line);
  if (!words.empty()) words_ += (words_.empty() ? "" : " / ") + words;
}

void TapSession::OnReply(Reply reply) {
  if (reply == Reply::kDisconnect) {
    FailRest(words_.empty() ? "the terminal ended the session" : words_,
             NotSentCause::kTerminalEnded);
    Finish();
    return;
  }
  if (step_ == Step::kLoggingOn)
    OnLogonReply(reply);
  else if (step_ == Step::kSending)
    OnBlockReply(reply);
}

void TapSession::OnLogonReply(Reply reply) {
  if (reply == Reply::kGoAhead) {
    StartPage(0);
  } else if (reply == Reply::kNak || reply == Reply::kRs) {
    if (tries_ < timings_.logon_tries) return SendLogon();
    FailRest("the terminal refused the log-on", NotSentCause::kTerminalEnded);
    LogOff();
  }
  // ACK: the log-on is accepted; the go-ahead follows.
}

void TapSession::OnBlockReply(Reply reply) {
  if (reply == Reply::kAck) {
    if (++block_ < blocks_.size()) {
      tries_ = 0;
      return SendBlock();
    }
    return EndPage(PageStatus::kAccepted, "");
  }
  if (reply == Reply::kRs) {
    return EndPage(PageStatus::kRefused, words_.empty() ? "the terminal refused the page" : words_);
  }
  if (reply == Reply::kNak) {
    if (tries_ < timings_.block_tries) return SendBlock();
    EndPage(PageStatus::kNotSent,
            "the terminal refused the block " + std::to_string(tries_) + " times",
            NotSentCause::kNakLimit);
  }
}

void TapSession::TimerExpired() {
  switch (step_) {
    case Step::kWaking:
      if (tries_ < timings_.wake_tries) {
        ++tries_;
        io_.Send(kWakeUp);
        io_.ArmTimer(timings_.wake_interval);
        return;
      }
      FailRest("the terminal did not ask for the log-on", NotSentCause::kTimeOut);
      return Finish();
    case Step::kLoggingOn:
      if (tries_ < timings_.logon_tries) return SendLogon();
      FailRest("the terminal did not answer the log-on", NotSentCause::kTimeOut);
      return Finish();
    case Step::kSending:
      if (tries_ < timings_.block_tries) return SendBlock();
      FailRest("the terminal did not answer the block", NotSentCause::kTimeOut);
      return LogOff();
    case Step::kLoggingOff: return Finish();
    case Step::kDone: return;
  }
}

void TapSession::CallEnded(const std::string& why) {
  if (step_ == Step::kDone) return;
  FailRest(why, NotSentCause::kCallEnded);
  Finish();
}

void TapSession::SendLogon() {
  step_ = Step::kLoggingOn;
  ++tries_;
  words_.clear();
  SendAndAwait(kLogOn);
}

void TapSession::StartPage(std::size_t index) {
  page_ = index;
  if (page_ >= pages_.size() || !io_.MayStartPage(page_)) return LogOff();
  step_ = Step::kSending;
  const OutgoingPage& p = pages_[page_];
  blocks_ = PageBlocks({EncodeField(p.pin, transparent_), EncodeField(p.message, transparent_)});
  block_ = 0;
  words_.clear();
  tries_ = 0;
  SendBlock();
}

void TapSession::SendBlock() {
  ++tries_;
  SendAndAwait(blocks_[block_]);
}

void TapSession::EndPage(PageStatus status, const std::string& reason, NotSentCause cause) {
  io_.PageDone(page_, {status, words_, reason, cause});
  StartPage(page_ + 1);
}

void TapSession::LogOff() {
  step_ = Step::kLoggingOff;
  page_ = pages_.size();
  SendAndAwait(kLogOff);
}

void TapSession::SendAndAwait(std::string_view bytes) {
  io_.Send(bytes);
  const auto line_time = std::chrono::milliseconds(static_cast<std::int64_t>(bytes.size()) * 1000 /
                                                   std::max(1, timings_.chars_per_second));
  io_.ArmTimer(timings_.reply_timeout + line_time);
}

void TapSession::FailRest(const std::string& why, NotSentCause cause) {
  for (std::size_t i = page_; i < pages_.size(); ++i) {
    io_.PageDone(i, {PageStatus::kNotSent, i == page_ ? words_ : "", why, cause});
  }
  page_ = pages_.size();
}

void TapSession::Finish() {
  step_ = Step::kDone;
  io_.Finished();
}

}  // namespace zentrel::tap
