#include "recording/RecordingClock.h"

namespace vmx {

struct RecordingClock::Impl {
};

RecordingClock::RecordingClock() : m_impl(std::make_unique<Impl>()) {}
RecordingClock::~RecordingClock() = default;
RecordingClock::RecordingClock(RecordingClock&&) noexcept = default;
RecordingClock& RecordingClock::operator=(RecordingClock&&) noexcept = default;

std::string RecordingClock::open(const std::vector<std::string>&) { return "not yet"; }
VideoCodec RecordingClock::codec() const { return VideoCodec::Unknown; }
double RecordingClock::duration() const { return 0; }
double RecordingClock::partStart(int) const { return 0; }
KeyFrameSearch RecordingClock::keyFrameAtOrAfter(double) { return {}; }
KeyFrameSearch RecordingClock::pictureAt(double) { return {}; }
std::uint64_t RecordingClock::bytesRead() const { return 0; }

}  // namespace vmx
