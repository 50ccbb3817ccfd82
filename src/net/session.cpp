// The rollback session: input queues, prediction, going back and running steps again,
// confirmation and the digests' comparison, stalls and time-outs.
#include "net/session.h"

#include <cstdio>

#include "game/game.h"
#include "game/output.h"

namespace net {

namespace {
constexpr const char* kLost = "connection lost — no result";

// Milliseconds from `then` to `now` on a clock that may wrap; a clock set back counts as none.
uint32_t Since(uint32_t now, uint32_t then) {
  int32_t d = static_cast<int32_t>(now - then);
  return d > 0 ? static_cast<uint32_t>(d) : 0;
}
}  // namespace

bool Session::Start(const SessionConfig& c, MessageLink& link, uint32_t nowMs, std::string* error) {
  if (c.side != 0 && c.side != 1) {
    *error = "the session's side must be 0 (host) or 1 (joiner), not " + std::to_string(c.side);
    return false;
  }
  if (c.inputDelay < 2 || c.inputDelay > 5) {
    *error = "the input delay must be 2 to 5 steps, not " + std::to_string(c.inputDelay);
    return false;
  }
  config_ = c;
  link_ = &link;
  state_ = SessionState::Playing;
  endReason_.clear();
  step_ = confirmed_ = 0;
  // The first D steps of both players hold nothing: no input was read for them.
  localNext_ = remoteNext_ = static_cast<uint32_t>(c.inputDelay);
  remoteAck_ = kNoStep;
  rollbackFrom_ = kNoStep;
  for (int i = 0; i < kInputRing; ++i) local_[i] = remote_[i] = used_[i] = 0;
  mineCount_ = theirsCount_ = 0;
  for (Check& c : mine_) c = Check{};
  for (Check& c : theirs_) c = Check{};
  for (bool& o : over_) o = false;
  gameOverStep_ = kNoStep;
  lastCompared_ = 0;
  lastMessageMs_ = lastInputMs_ = nowMs;
  stats_ = SessionStats{};
  saved_ = false;
  if (c.ownState) Snapshot(live_);
  return true;
}

double Session::WaitingSeconds(uint32_t nowMs) const { return Since(nowMs, lastInputMs_) / 1000.0; }

int Session::ExtraMsPerStep() const {
  if (remoteAck_ == kNoStep) return 0;
  // Each side's lead as it sees it: its newest input past the other's newest it has. Half the
  // difference is how far this side runs ahead of the other.
  int mine = static_cast<int>(localNext_) - static_cast<int>(remoteNext_);
  int theirs = static_cast<int>(remoteNext_ - 1) - static_cast<int>(remoteAck_);
  int ahead = (mine - theirs) / 2;
  if (ahead <= 0) return 0;
  return ahead < kMaxExtraMs ? ahead : kMaxExtraMs;
}

bool Session::ConfirmedDigest(uint32_t steps, uint64_t* digest) const {
  if (steps == 0 || steps > confirmed_ || steps + kDigestRing <= step_) return false;
  *digest = digests_[(steps - 1) % kDigestRing];
  return true;
}

StepInput Session::Source(uint32_t, void* context) {
  Session& s = *static_cast<Session*>(context);
  StepInput in;
  uint32_t at = s.running_ % kInputRing;
  in.held[s.config_.side] = s.local_[at];
  in.held[1 - s.config_.side] = s.used_[at];
  return in;
}

void Session::Enter() {
  if (config_.ownState) Restore(live_);
  savedOutput_ = gameout::output;
  UseInputSource(&Session::Source, this);
  SetRecordMode(config_.record ? RecordMode::Online : RecordMode::Off);
}

void Session::Leave() {
  if (config_.ownState) Snapshot(live_);
  UseInputSource(nullptr, nullptr);
  SetRecordMode(RecordMode::Played);
  gameout::output = savedOutput_;
}

void Session::End(const std::string& reason) {
  if (state_ == SessionState::Ended) return;
  state_ = SessionState::Ended;
  endReason_ = reason;
}

// The part of a call shared by Step and Poll: the other side's messages, the steps a corrected
// prediction changed, confirmation and the time-out. False once the session has ended.
bool Session::Update(uint32_t nowMs) {
  Receive(nowMs);
  if (state_ != SessionState::Ended && rollbackFrom_ < step_) RollBack();
  if (state_ != SessionState::Ended) Confirm();
  if (state_ != SessionState::Ended && Since(nowMs, lastMessageMs_) >= kTimeoutMs) End(kLost);
  return state_ != SessionState::Ended;
}

SessionState Session::Step(uint8_t localHeld, uint32_t nowMs) {
  if (state_ == SessionState::Ended) return state_;
  Enter();
  if (Update(nowMs)) {
    if (step_ - confirmed_ >= static_cast<uint32_t>(kMaxAhead)) {
      state_ = Since(nowMs, lastInputMs_) >= kWaitingMs ? SessionState::Waiting : SessionState::Stalled;
    } else {
      state_ = SessionState::Playing;
      local_[localNext_ % kInputRing] = localHeld;
      ++localNext_;
      RunStep(step_);
      ++step_;
      Confirm();
    }
    SendInputs();
  }
  Leave();
  return state_;
}

SessionState Session::Poll(uint32_t nowMs) {
  if (state_ == SessionState::Ended) return state_;
  Enter();
  if (Update(nowMs)) SendInputs();
  Leave();
  return state_;
}

bool Session::ConfirmedInputs(uint32_t step, uint8_t held[2]) const {
  // The other side's inputs may be taken up to kInputRing - 2 kMaxAhead steps past the confirmed
  // ones: the ring's slots of the last 2 kMaxAhead confirmed steps are never written over.
  if (step >= confirmed_ || confirmed_ - step > static_cast<uint32_t>(2 * kMaxAhead)) return false;
  held[config_.side] = local_[step % kInputRing];
  held[1 - config_.side] = remote_[step % kInputRing];
  return true;
}

bool Session::ConfirmedState(uint32_t steps, GameSnapshot* out) const {
  if (steps > confirmed_) return false;
  if (steps == step_) {
    if (config_.ownState)
      *out = live_;
    else
      Snapshot(*out);
    return true;
  }
  // The state before step `steps`, kept while no later step has taken its place.
  if (steps >= step_ || step_ - steps > static_cast<uint32_t>(kSnapshots)) return false;
  *out = ring_[steps % kSnapshots];
  return true;
}

void Session::Receive(uint32_t nowMs) {
  Message m;
  bool lost = false;
  while (state_ != SessionState::Ended && link_->Receive(&m, &lost)) {
    lastMessageMs_ = nowMs;
    switch (m.type) {
      case MessageType::Inputs: TakeInputs(m.inputs, nowMs); break;
      case MessageType::Checksum: TakeChecksum(m.checksum); break;
      case MessageType::Bye: End("the other player left — no result"); break;
      default: break;  // the scenes' messages: not the running game's
    }
  }
  if (lost) End(kLost);
}

void Session::TakeInputs(const Inputs& in, uint32_t nowMs) {
  if (in.game != config_.game) return;  // a late one of an earlier game
  if (in.count < 1 || in.count > kMaxInputsPerMessage || in.firstStep > remoteNext_ ||
      (in.ackStep != kNoStep && in.ackStep >= localNext_)) {
    ++stats_.messagesRefused;
    return;
  }
  if (in.ackStep != kNoStep && (remoteAck_ == kNoStep || in.ackStep > remoteAck_)) remoteAck_ = in.ackStep;
  uint32_t end = in.firstStep + in.count;
  // Never past what the ring holds beyond the steps that may still be run again.
  uint32_t limit = confirmed_ + kInputRing - 2 * kMaxAhead;
  if (end > limit) end = limit;
  for (uint32_t t = remoteNext_; t < end; ++t) {
    uint8_t v = in.held[t - in.firstStep];
    remote_[t % kInputRing] = v;
    if (t < step_ && used_[t % kInputRing] != v && t < rollbackFrom_) rollbackFrom_ = t;
    remoteNext_ = t + 1;
    lastInputMs_ = nowMs;
  }
}

void Session::TakeChecksum(const Checksum& c) {
  if (c.game != config_.game) return;
  // Every 30th step, and the step that decided the game (which need not be one of them).
  if (c.step == 0) {
    ++stats_.messagesRefused;
    return;
  }
  theirs_[theirsCount_++ % kChecks] = {c.step, c.digest};
  Compare();
}

void Session::Compare() {
  for (Check& t : theirs_) {
    if (t.steps == 0) continue;
    for (Check& m : mine_) {
      if (m.steps != t.steps) continue;
      if (m.digest != t.digest) {
        End("out of sync at step " + std::to_string(t.steps));
        return;
      }
      ++stats_.checksumsCompared;
      if (m.steps > lastCompared_) lastCompared_ = m.steps;
      m.steps = t.steps = 0;
      break;
    }
  }
}

void Session::RunStep(uint32_t s) {
  int k = static_cast<int>(s % kSnapshots);
  Snapshot(ring_[k]);
  if (config_.record) marks_[k] = MarkRecording();
  uint32_t at = s % kInputRing;
  used_[at] = s < remoteNext_ ? remote_[at] : remote_[(remoteNext_ - 1) % kInputRing];
  running_ = s;
  GameStep();
  digests_[s % kDigestRing] = ReplayDigest();
  over_[s % kDigestRing] = game.resultStep != 0;
}

void Session::RollBack() {
  uint32_t from = rollbackFrom_;
  rollbackFrom_ = kNoStep;
  int k = static_cast<int>(from % kSnapshots);
  Restore(ring_[k]);
  if (config_.record) RewindRecording(marks_[k]);
  gameout::output = {false, false};
  for (uint32_t s = from; s < step_; ++s) RunStep(s);
  gameout::output = savedOutput_;
  uint32_t depth = step_ - from;
  ++stats_.rollbacks;
  stats_.stepsRunAgain += depth;
  if (depth > stats_.deepest) stats_.deepest = depth;
}

void Session::Confirm() {
  uint32_t upto = remoteNext_ < step_ ? remoteNext_ : step_;
  while (confirmed_ < upto) {
    uint32_t steps = ++confirmed_;
    // The first step after which the outcome stands is compared too: no outcome is shown from
    // a state the other side does not share.
    bool decided = gameOverStep_ == kNoStep && over_[(steps - 1) % kDigestRing];
    if (decided) gameOverStep_ = steps;
    if (steps % kChecksumEvery != 0 && !decided) continue;
    uint64_t digest = digests_[(steps - 1) % kDigestRing];
    mine_[mineCount_++ % kChecks] = {steps, digest};
    Message m;
    m.type = MessageType::Checksum;
    m.checksum = {config_.game, steps, digest};
    link_->Send(Channel::Control, m);
  }
  Compare();
  // A game's end holds its recording until every step up to it is confirmed: the recording
  // then holds the final inputs only.
  int64_t held = HeldRecordingStep();
  if (config_.record && !saved_ && held >= 0 && held < static_cast<int64_t>(confirmed_)) {
    saved_ = true;  // a step run again after this one gets the held recording back: written once
    std::string error;
    if (!SaveRecording(&error)) fprintf(stderr, "quorbistane: the game's replay is not kept: %s\n", error.c_str());
  }
}

void Session::SendInputs() {
  uint32_t first = remoteAck_ == kNoStep ? static_cast<uint32_t>(config_.inputDelay) : remoteAck_ + 1;
  if (localNext_ - first > static_cast<uint32_t>(kMaxInputsPerMessage) && first < localNext_)
    first = localNext_ - kMaxInputsPerMessage;
  if (first >= localNext_) first = localNext_ - 1;  // nothing new: the newest again, for the ack
  Message m;
  m.type = MessageType::Inputs;
  Inputs& in = m.inputs;
  in.game = config_.game;
  in.firstStep = first;
  in.count = static_cast<uint8_t>(localNext_ - first);
  for (uint32_t t = first; t < localNext_; ++t) in.held[t - first] = local_[t % kInputRing];
  in.ackStep = remoteNext_ - 1;
  link_->Send(Channel::Inputs, m);
}

}  // namespace net
