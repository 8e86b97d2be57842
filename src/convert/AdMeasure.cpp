// The signals of advertising measured with the FFmpeg libraries: black pictures, silence, the
// channel logo, changes of format.

#include "convert/AdScan.h"
#include "convert/AvIo.h"
#include "convert/LogoTracker.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <memory>

namespace vmx {

namespace {

constexpr std::int64_t kTicks = 90000;  // a transport stream's clock
constexpr std::int64_t kWrap = std::int64_t{1} << 33;
// A step of a stream's clock forward beyond kJump or back beyond kJumpBack is a discontinuity (as
// the recording's clock that places cuts sees it): the time goes on from before it.
constexpr std::int64_t kJump = 10 * kTicks;
constexpr std::int64_t kJumpBack = 2 * kTicks;
// A picture is black when this share of its pixels is darker than a tenth of the luma range.
constexpr double kBlackShare = 0.98;
// How often the corners are looked at for the logo.
constexpr double kLogoInterval = 0.5;
// Silence this close to a group of pictures has the group decoded whole.
constexpr std::int64_t kSilenceReach = kTicks;
// A group of pictures held longer than this: the stream marks no key frames, and every group is
// decoded whole from then on. Nor are more bytes than kHeldBytes held.
constexpr std::int64_t kLongestGroup = 10 * kTicks;
constexpr std::size_t kHeldBytes = 32u << 20;
// Sound is measured in windows this long; one whose RMS lies below kSilentLevel (-50 dBFS) is silent.
constexpr double kSoundWindow = 0.05;
constexpr double kSilentLevel = 0.00316;

struct CodecDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

// The video packets from one key frame to the next, held until the sound around them is known.
struct PictureGroup {
    std::vector<PacketPtr> packets;
    std::int64_t start = INT64_MAX;  // the earliest and the latest picture's time (ticks)
    std::int64_t end = INT64_MIN;
    std::size_t bytes = 0;
};

// A stream's timestamps as one unbroken clock in 90 kHz ticks: wrap-around undone, and after a
// discontinuity the time goes on from before it. Every stream's clock counts from the first
// timestamp of any stream.
class StreamClock {
public:
    explicit StreamClock(std::int64_t* origin) : m_origin(origin) {}
    std::int64_t operator()(std::int64_t pts, std::int64_t step)
    {
        const std::int64_t raw = pts & (kWrap - 1);
        if (*m_origin < 0)
            *m_origin = raw;
        if (!m_started) {
            m_started = true;
            m_time = Wrapped(raw - *m_origin);
        } else {
            const std::int64_t delta = Wrapped(raw - m_last);
            m_time += delta > kJump || delta < -kJumpBack ? step : delta;
        }
        m_last = raw;
        return m_time;
    }

private:
    // A difference of 33-bit times as the shorter way round.
    static std::int64_t Wrapped(std::int64_t delta)
    {
        delta %= kWrap;
        if (delta >= kWrap / 2)
            delta -= kWrap;
        if (delta < -kWrap / 2)
            delta += kWrap;
        return delta;
    }
    std::int64_t* m_origin;
    bool m_started = false;
    std::int64_t m_last = 0;
    std::int64_t m_time = 0;
};

// Adds [start, end] to the stretches, joined to the last one when they meet.
void Extend(std::vector<TimeSpan>& spans, double start, double end, double slack)
{
    if (!spans.empty() && start <= spans.back().end + slack)
        spans.back().end = std::max(spans.back().end, end);
    else
        spans.push_back({start, end});
}

// One sample of the sound at `index` of channel `channel`, from -1 to 1.
double SampleOf(const AVFrame* frame, int channel, int index)
{
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const int channels = frame->ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(format);
    const std::uint8_t* data = planar ? frame->extended_data[channel] : frame->extended_data[0];
    const int at = planar ? index : index * channels + channel;
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8: return (data[at] - 128) / 128.0;
    case AV_SAMPLE_FMT_S16: return reinterpret_cast<const std::int16_t*>(data)[at] / 32768.0;
    case AV_SAMPLE_FMT_S32: return reinterpret_cast<const std::int32_t*>(data)[at] / 2147483648.0;
    case AV_SAMPLE_FMT_FLT: return reinterpret_cast<const float*>(data)[at];
    case AV_SAMPLE_FMT_DBL: return reinterpret_cast<const double*>(data)[at];
    default: return 0;
    }
}

class Measure {
public:
    AdScanResult& result;
    double frameSeconds = 0.04;
    std::int64_t videoBase = INT64_MAX;  // the earliest picture's time (ticks)
    std::int64_t videoLast = INT64_MIN;  // the latest picture's time (ticks)

    explicit Measure(AdScanResult& into) : result(into) {}

    void picture(const AVFrame* frame, std::int64_t ticks)
    {
        const AVPixFmtDescriptor* pixels = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
        if (!pixels || (pixels->flags & AV_PIX_FMT_FLAG_RGB) || pixels->comp[0].depth != 8)
            return;
        ++result.pictures;
        const double seconds = static_cast<double>(ticks) / kTicks;
        const bool fullRange = frame->color_range == AVCOL_RANGE_JPEG || frame->format == AV_PIX_FMT_YUVJ420P ||
                               frame->format == AV_PIX_FMT_YUVJ422P || frame->format == AV_PIX_FMT_YUVJ444P;
        const int dark = fullRange ? 25 : 16 + 22;
        // Every fourth pixel of every fourth row.
        std::uint64_t seen = 0, black = 0;
        for (int y = 0; y < frame->height; y += 4) {
            const std::uint8_t* row = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
            for (int x = 0; x < frame->width; x += 4) {
                ++seen;
                black += row[x] <= dark ? 1 : 0;
            }
        }
        const bool isBlack = seen && static_cast<double>(black) >= kBlackShare * static_cast<double>(seen);
        // Black pictures one after the other are one stretch.
        if (isBlack)
            Extend(result.measured.black, seconds, seconds + frameSeconds, m_lastBlack ? 1e9 : 0);
        m_lastBlack = isBlack;
        if (seconds >= m_nextLogo) {
            m_logo.add(seconds, frame->data[0], frame->width, frame->height, frame->linesize[0]);
            m_nextLogo = seconds + kLogoInterval;
        }
        const AVRational shape = frame->sample_aspect_ratio.num > 0 ? frame->sample_aspect_ratio : AVRational{1, 1};
        const double ratio = static_cast<double>(frame->width) * shape.num / (static_cast<double>(frame->height) * shape.den);
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", ratio);
        format(seconds, text, m_pictureFormat);
    }

    void sound(const AVFrame* frame, std::int64_t ticks, const char* codec)
    {
        const int rate = frame->sample_rate, channels = frame->ch_layout.nb_channels;
        if (rate <= 0 || channels <= 0)
            return;
        const double start = static_cast<double>(ticks) / kTicks;
        const double end = start + static_cast<double>(frame->nb_samples) / rate;
        if (m_windowCount > 0 && std::abs(start - m_windowEnd) > 0.1)
            m_windowCount = 0;  // a gap in the sound: what was gathered is dropped
        const int window = std::max(1, static_cast<int>(rate * kSoundWindow));
        for (int i = 0; i < frame->nb_samples; ++i) {
            if (m_windowCount == 0) {
                m_windowStart = start + static_cast<double>(i) / rate;
                m_sum = 0;
            }
            for (int c = 0; c < channels; ++c) {
                const double v = SampleOf(frame, c, i);
                m_sum += v * v;
            }
            if (++m_windowCount == window) {
                const double level = std::sqrt(m_sum / (static_cast<double>(window) * channels));
                if (level < kSilentLevel)
                    Extend(result.measured.silence, m_windowStart, m_windowStart + kSoundWindow, kSoundWindow / 2);
                m_windowCount = 0;
            }
        }
        m_windowEnd = end;
        const std::string text = std::string(codec) + " " + std::to_string(channels) + "ch " + std::to_string(rate);
        format(start, text, m_soundFormat);
    }

    // Puts the times counted from the first picture and the logo's looks into the result.
    void finish()
    {
        AdSignals& signals = result.measured;
        const LogoTracker::Found logo = m_logo.finish();
        signals.logoFound = logo.found;
        signals.logo = logo.samples;
        if (videoBase == INT64_MAX)
            return;
        const double base = static_cast<double>(videoBase) / kTicks;
        signals.duration = static_cast<double>(videoLast - videoBase) / kTicks;
        const auto shift = [&](double& seconds) { seconds = std::clamp(seconds - base, 0.0, signals.duration); };
        for (std::vector<TimeSpan>* spans : {&signals.black, &signals.silence})
            for (TimeSpan& span : *spans) {
                shift(span.start);
                shift(span.end);
            }
        for (LogoSample& sample : signals.logo)
            shift(sample.seconds);
        signals.formats.clear();
        for (const auto& [seconds, text] : m_changes) {
            FormatMark mark{seconds, text};
            shift(mark.seconds);
            if (!signals.formats.empty() && mark.seconds <= signals.formats.back().seconds)
                signals.formats.back().format = mark.format;  // changes before the first picture
            else
                signals.formats.push_back(mark);
        }
        if (!signals.formats.empty())
            signals.formats.front().seconds = 0;
    }

private:
    // Notes a change of the picture's or the sound's format.
    void format(double seconds, const std::string& text, std::string& current)
    {
        if (text == current)
            return;
        current = text;
        m_changes.push_back({seconds, m_pictureFormat + " / " + m_soundFormat});
    }

    LogoTracker m_logo;
    bool m_lastBlack = false;
    double m_nextLogo = -1e9;
    std::string m_pictureFormat, m_soundFormat;
    std::vector<std::pair<double, std::string>> m_changes;
    double m_windowStart = 0, m_windowEnd = 0, m_sum = 0;
    int m_windowCount = 0;
};

CodecPtr OpenDecoder(const AVStream* stream, bool video)
{
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return nullptr;
    CodecPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0)
        return nullptr;
    context->pkt_timebase = stream->time_base;
    if (video) {
        // The pictures no other refers to are left out (and, where the sound is not silent, all
        // but the key frames: see MeasureAdSignals), the deblocking filter too; MPEG-2 is decoded
        // at half size. Black and a logo show as well in what is left.
        context->skip_frame = AVDISCARD_NONREF;
        context->skip_loop_filter = AVDISCARD_ALL;
        context->flags2 |= AV_CODEC_FLAG2_FAST;
        context->lowres = std::min<int>(1, codec->max_lowres);
        context->thread_count = 2;
    }
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return nullptr;
    return context;
}

}  // namespace

AdScanResult MeasureAdSignals(const std::vector<std::string>& partPaths, const AdScanProgress& progress)
{
    av_log_set_level(AV_LOG_QUIET);  // what goes wrong is said in the result
    AdScanResult result;
    const auto fail = [&](const std::string& why) {
        result.ok = false;
        result.error = why;
        return result;
    };
    PartInput input;
    if (std::string error = input.stream.open(partPaths); !error.empty())
        return fail(error);
    input.stream.skipDamage(true);
    AvioPtr io = MakeReadIo(input);
    if (!io)
        return fail("out of memory.");
    std::string openError;
    InputPtr in = OpenAnalysedTransportStream(io.get(), openError);
    if (!in)
        return fail(openError);
    const int video = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0)
        return fail("the recording holds no video stream.");
    const int audio = av_find_best_stream(in.get(), AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
    for (unsigned i = 0; i < in->nb_streams; ++i)
        if (static_cast<int>(i) != video && static_cast<int>(i) != audio)
            in->streams[i]->discard = AVDISCARD_ALL;
    CodecPtr pictures = OpenDecoder(in->streams[video], true);
    if (!pictures)
        return fail("the recording's video cannot be decoded.");
    CodecPtr sound = audio >= 0 ? OpenDecoder(in->streams[audio], false) : nullptr;
    result.measured.hasAudio = sound != nullptr;
    const char* soundCodec = audio >= 0 ? avcodec_get_name(in->streams[audio]->codecpar->codec_id) : "";

    Measure measure(result);
    const AVRational rate = in->streams[video]->avg_frame_rate;
    if (rate.num > 0 && rate.den > 0 && av_q2d(rate) > 1)
        measure.frameSeconds = 1 / av_q2d(rate);
    const auto frameTicks = static_cast<std::int64_t>(measure.frameSeconds * kTicks);
    std::int64_t origin = -1;
    StreamClock videoClock(&origin), soundClock(&origin);
    // Ticks of each stream's clock per tick of its time base (90 kHz in a transport stream).
    const auto toTicks = [&](int stream, std::int64_t pts) {
        return av_rescale_q(pts, in->streams[stream]->time_base, AVRational{1, static_cast<int>(kTicks)});
    };

    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    if (!packet || !frame)
        return fail("out of memory.");
    std::int64_t lastPicture = 0;
    std::int64_t soundReached = INT64_MIN;  // the end of the sound measured so far (ticks)
    const auto receive = [&](AVCodecContext* decoder, bool isVideo) {
        while (avcodec_receive_frame(decoder, frame.get()) == 0) {
            if (isVideo) {
                lastPicture = frame->pts != AV_NOPTS_VALUE ? frame->pts : lastPicture + frameTicks;
                measure.picture(frame.get(), lastPicture);
            } else if (frame->pts != AV_NOPTS_VALUE) {
                measure.sound(frame.get(), frame->pts, soundCodec);
                if (frame->sample_rate > 0)
                    soundReached = std::max(soundReached, frame->pts + frame->nb_samples * kTicks / frame->sample_rate);
            }
            av_frame_unref(frame.get());
        }
    };
    const auto decode = [&](AVPacket* videoPacket) {
        if (avcodec_send_packet(pictures.get(), videoPacket) >= 0)
            receive(pictures.get(), true);
    };

    // Black pictures count only where the sound falls silent. So the video is held a group of
    // pictures at a time until the sound around it is measured: a group near silence is decoded
    // whole (but for the pictures no other refers to), any other only at its key frame, which
    // shows the logo and the picture's shape as well. A group starts at a key frame, so what is
    // decoded of it never refers to a picture left out. Without sound everything is decoded.
    std::deque<PictureGroup> groups;
    std::size_t heldBytes = 0;
    bool wholeAlways = !sound;
    const auto decodeGroup = [&](PictureGroup& group, bool whole) {
        for (auto quiet = result.measured.silence.rbegin(); !whole && quiet != result.measured.silence.rend(); ++quiet) {
            if (quiet->end * kTicks < static_cast<double>(group.start - kSilenceReach))
                break;
            whole = quiet->start * kTicks <= static_cast<double>(group.end + kSilenceReach);
        }
        pictures->skip_frame = whole ? AVDISCARD_NONREF : AVDISCARD_NONINTRA;
        for (PacketPtr& held : group.packets)
            decode(held.get());
        heldBytes -= group.bytes;
    };
    const auto decodeGroups = [&](bool atEnd) {
        // The oldest group goes once the sound has been measured past it, or when too much is held.
        while (groups.size() > 1 || (atEnd && !groups.empty())) {
            PictureGroup& oldest = groups.front();
            if (!atEnd && !wholeAlways && soundReached < oldest.end + 2 * kSilenceReach && heldBytes <= kHeldBytes)
                break;
            decodeGroup(oldest, wholeAlways);
            groups.pop_front();
        }
    };
    const auto holdPicture = [&](AVPacket* videoPacket) {
        if (groups.empty() || (videoPacket->flags & AV_PKT_FLAG_KEY))
            groups.emplace_back();
        PictureGroup& group = groups.back();
        if (videoPacket->pts != AV_NOPTS_VALUE) {
            group.start = std::min(group.start, videoPacket->pts);
            group.end = std::max(group.end, videoPacket->pts);
        }
        PacketPtr held(av_packet_alloc());
        if (!held)
            return false;
        av_packet_move_ref(held.get(), videoPacket);
        group.bytes += static_cast<std::size_t>(held->size);
        heldBytes += static_cast<std::size_t>(held->size);
        group.packets.push_back(std::move(held));
        if (group.end != INT64_MIN && group.end - group.start > kLongestGroup) {
            wholeAlways = true;
            decodeGroups(true);
        }
        return true;
    };
    std::uint64_t said = 0;
    for (;;) {
        const int got = av_read_frame(in.get(), packet.get());
        if (got == AVERROR_EOF)
            break;
        if (got < 0)
            return fail("the recording cannot be read on: " + AvError(got) + ".");
        const int stream = packet->stream_index;
        const bool isVideo = stream == video;
        if ((isVideo || (stream == audio && sound)) && packet->pts != AV_NOPTS_VALUE) {
            const std::int64_t step = packet->duration > 0 ? toTicks(stream, packet->duration) : frameTicks;
            StreamClock& clock = isVideo ? videoClock : soundClock;
            packet->pts = clock(toTicks(stream, packet->pts), step);
            packet->dts = AV_NOPTS_VALUE;
            packet->time_base = AVRational{1, static_cast<int>(kTicks)};
            if (isVideo) {
                measure.videoBase = std::min(measure.videoBase, packet->pts);
                measure.videoLast = std::max(measure.videoLast, packet->pts);
            }
        }
        if (isVideo && wholeAlways) {
            decode(packet.get());
        } else if (isVideo) {
            if (!holdPicture(packet.get()))
                return fail("out of memory.");
        } else if (stream == audio && sound && avcodec_send_packet(sound.get(), packet.get()) >= 0) {
            receive(sound.get(), false);
        }
        decodeGroups(false);
        av_packet_unref(packet.get());
        const std::uint64_t position = input.stream.position();
        if (progress && position >= said + (1u << 20)) {
            said = position;
            if (!progress(position, input.stream.size()))
                return fail("the analysis was stopped.");
        }
    }
    if (sound && avcodec_send_packet(sound.get(), nullptr) >= 0)
        receive(sound.get(), false);
    decodeGroups(true);
    decode(nullptr);
    if (measure.videoBase == INT64_MAX)
        return fail("the recording holds no picture with a timestamp.");
    measure.finish();
    if (progress)
        progress(input.stream.size(), input.stream.size());
    for (const PartStream::Gap& gap : input.stream.gaps())
        result.lost.push_back({gap.partPath, gap.offset, gap.length});
    result.bytesRead = input.stream.position();
    result.ok = true;
    return result;
}

}  // namespace vmx
