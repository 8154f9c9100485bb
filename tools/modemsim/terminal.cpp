// The terminal's byte-at-a-time parser and its answers. Frames start at ESC,
// STX or EOT; any other byte outside a frame is a wake-up (CR) or ignored.
// A block before the log-on is dropped unanswered, as a terminal would.
#include "terminal.h"

#include "tap_block.h"

namespace zentrel::modemsim {
namespace {

constexpr const char* kIdPrompt = "ID=";
constexpr const char* kGoAhead = "\r\x1b[p\r";
constexpr const char* kLogonAccepted = "110 1.8\r\x06\r\x1b[p\r";
constexpr const char* kLogonRejected = "\x15\r";
constexpr const char* kPageAccepted = "211 Page accepted\r\x06\r";
constexpr const char* kBlockAccepted = "\x06\r";
constexpr const char* kChecksumError = "514 Checksum error\r\x15\r";
constexpr const char* kInvalidPin = "Invalid Pin\r\x1e\r";
constexpr const char* kNakReply = "\r\x15\r";
constexpr const char* kRsReply = "\r\x1e\r";
constexpr const char* kErrorText = "501 error in block\r";
constexpr const char* kGoodbye = "115 Goodbye\r\x1b\x04\r";
constexpr const char* kForcedDisconnect = "\x1b\x04\r";

constexpr std::size_t kMaxLogonText = 3 + 6;  // "PG1" and a password
constexpr std::size_t kMaxBlock = 1024;       // far beyond any real block

}  // namespace

TapTerminal::TapTerminal(Scenario scenario, int slow_wakeups)
    : scenario_(scenario), slow_wakeups_(slow_wakeups) {}

void TapTerminal::Feed(char byte, Actions& out) {
  if (step_ == Step::kGone || scenario_ == Scenario::kSilent) return;
  switch (frame_) {
    case Frame::kNone: FeedOutsideFrame(byte, out); return;
    case Frame::kLogon:
      if (byte == kCr) {
        frame_ = Frame::kNone;
        OnLogon(out);
      } else if (frame_bytes_.size() <= kMaxLogonText) {
        frame_bytes_ += byte;  // one byte past the limit marks it too long
      }
      return;
    case Frame::kBlock:
      frame_bytes_ += byte;
      if (byte == kEtx || byte == tap::kEtb || byte == tap::kUs) {
        frame_ = Frame::kChecksum;
        checksum_bytes_.clear();
      } else if (frame_bytes_.size() > kMaxBlock) {
        frame_ = Frame::kNone;  // runaway: no ETX is coming
      }
      return;
    case Frame::kChecksum:
      checksum_bytes_ += byte;
      if (checksum_bytes_.size() == 4) {
        frame_ = Frame::kNone;
        OnBlock(out);
      }
      return;
    case Frame::kEot:
      frame_ = Frame::kNone;
      if (byte == kCr) {
        Disconnect(scenario_ == Scenario::kCloseAfterEot ? "" : kGoodbye, out);
      } else {
        FeedOutsideFrame(byte, out);
      }
      return;
  }
}

void TapTerminal::FeedOutsideFrame(char byte, Actions& out) {
  switch (byte) {
    case kCr: OnWake(out); break;
    case kEsc:
      frame_ = Frame::kLogon;
      frame_bytes_.clear();
      break;
    case kStx:
      frame_ = Frame::kBlock;
      frame_bytes_.assign(1, kStx);
      break;
    case kEot: frame_ = Frame::kEot; break;
    default: break;  // line noise between frames
  }
}

void TapTerminal::OnWake(Actions& out) {
  if (step_ == Step::kLoggedOn) return;
  ++wakeups_;
  if (scenario_ == Scenario::kSlow && wakeups_ <= slow_wakeups_) return;
  if (scenario_ == Scenario::kNoLogon) {  // ready for blocks at once
    step_ = Step::kLoggedOn;
    Send(kGoAhead, out);
    return;
  }
  step_ = Step::kAwaitLogon;
  Send(kIdPrompt, out);
}

void TapTerminal::OnLogon(Actions& out) {
  const bool valid = frame_bytes_.starts_with("PG1") && frame_bytes_.size() <= kMaxLogonText;
  if (!valid) {
    Send(kLogonRejected, out);
    return;
  }
  step_ = Step::kLoggedOn;
  Send(kLogonAccepted, out);
  if (scenario_ == Scenario::kHangupAfterLogon) Disconnect("", out);
}

// A page may come in several blocks: ETB or US ends one with more to come
// (each acknowledged alone), ETX ends the page, whose fields are then the
// data of all its blocks with transparency undone.
void TapTerminal::OnBlock(Actions& out) {
  if (step_ != Step::kLoggedOn) return;
  const std::string expected = BlockChecksum(frame_bytes_);
  const bool valid = checksum_bytes_.back() == kCr && checksum_bytes_.compare(0, 3, expected) == 0;
  const char end = frame_bytes_.back();
  BlockReceived block{"", "", checksum_bytes_.substr(0, 3), valid,
                      std::string(tap::ControlName(static_cast<unsigned char>(end)))};
  const bool nak_once = valid && scenario_ == Scenario::kNakOnce && !naked_once_;
  if (!valid || nak_once) {
    naked_once_ = naked_once_ || nak_once;
    if (end == kEtx) {  // what this block alone says, for the log
      BlockFields fields = SplitBlock(frame_bytes_);
      block.pin = std::move(fields.pin);
      block.message = std::move(fields.message);
    }
    out.push_back(std::move(block));
    Send(valid ? kNakReply : kChecksumError, out);
    return;
  }
  page_data_.append(frame_bytes_, 1, frame_bytes_.size() - 2);
  if (end != kEtx) {
    out.push_back(std::move(block));
    Send(kBlockAccepted, out);
    return;
  }
  BlockFields fields = SplitBlock(std::string(1, kStx) + page_data_ + kEtx);
  page_data_.clear();
  block.pin = DecodeTransparency(fields.pin);
  block.message = DecodeTransparency(fields.message);
  out.push_back(std::move(block));
  AnswerPage(out);
}

void TapTerminal::AnswerPage(Actions& out) {
  ++pages_;
  switch (scenario_) {
    case Scenario::kInvalidPin: Send(kInvalidPin, out); break;
    case Scenario::kNak: Send(kNakReply, out); break;
    case Scenario::kRs: Send(kRsReply, out); break;
    case Scenario::kErrorText: Send(kErrorText, out); break;
    case Scenario::kRsSecond: Send(pages_ == 2 ? kInvalidPin : kPageAccepted, out); break;
    default: Send(kPageAccepted, out); break;
  }
}

void TapTerminal::IdleTimeout(Actions& out) {
  if (step_ == Step::kLoggedOn) Disconnect(kForcedDisconnect, out);
}

void TapTerminal::Disconnect(const char* farewell, Actions& out) {
  Send(farewell, out);
  step_ = Step::kGone;
}

void TapTerminal::Send(std::string bytes, Actions& out) {
  if (!bytes.empty()) out.push_back(SendBytes{std::move(bytes)});
}

}  // namespace zentrel::modemsim
