// The video of a recording encoded anew as H.264 or HEVC, each audio track as AAC.
//
// Every stream that is kept runs through its own chain: decoder, filter graph, encoder, file. The
// encoders are opened before the first packet is read, from what the analysis told of the
// streams, so the file's header is written at once; a chain's filter graph is built from its first
// decoded frame (and again when the frames change) and converts whatever comes to what the
// encoder was opened for.

#include "convert/AvIo.h"
#include "convert/EncodeFilters.h"
#include "convert/ExportSteps.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/hwcontext.h>
}

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace vmx {

namespace {

constexpr int kDefaultCrfH264 = 23;
constexpr int kDefaultCrfHevc = 28;
constexpr const char* kPreset = "veryfast";
constexpr const char* kRenderNode = "/dev/dri/renderD128";
constexpr std::int64_t kAacBitsPerChannel = 64000;  // 128 kbit/s for stereo
constexpr int kHardwareSurfaces = 20;

// What ends the encode: the message goes into ExportResult::error.
struct EncodeStop {
    std::string why;
    bool stopped = false;
};

struct CodecDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct BufferDeleter {
    void operator()(AVBufferRef* buffer) const { av_buffer_unref(&buffer); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using BufferPtr = std::unique_ptr<AVBufferRef, BufferDeleter>;

FramePtr NewFrame()
{
    FramePtr frame(av_frame_alloc());
    if (!frame)
        throw EncodeStop{"out of memory."};
    return frame;
}

std::string StreamName(const AVStream* stream)
{
    const AVCodecDescriptor* codec = avcodec_descriptor_get(stream->codecpar->codec_id);
    const char* kind = av_get_media_type_string(stream->codecpar->codec_type);
    return std::string(codec ? codec->name : kind ? kind : "data") + " (stream " + std::to_string(stream->index) + ")";
}

// The channel layout the AAC encoder is opened with: the recording's where the encoder takes it,
// else one of as many channels, else stereo (mono stays mono).
void EncoderLayout(const AVCodec* codec, const AVChannelLayout& recorded, AVChannelLayout& chosen)
{
    AVChannelLayout wanted{};
    if (recorded.order == AV_CHANNEL_ORDER_NATIVE)
        av_channel_layout_copy(&wanted, &recorded);
    else
        av_channel_layout_default(&wanted, recorded.nb_channels);
    const AVChannelLayout* pick = &wanted;
    if (codec->ch_layouts) {
        const AVChannelLayout* sameCount = nullptr;
        pick = nullptr;
        for (const AVChannelLayout* layout = codec->ch_layouts; layout->nb_channels != 0; ++layout) {
            if (av_channel_layout_compare(layout, &wanted) == 0)
                pick = layout;
            if (!sameCount && layout->nb_channels == wanted.nb_channels)
                sameCount = layout;
        }
        pick = pick ? pick : sameCount;
    }
    if (pick)
        av_channel_layout_copy(&chosen, pick);
    else
        av_channel_layout_default(&chosen, wanted.nb_channels == 1 ? 1 : 2);
    av_channel_layout_uninit(&wanted);
}

// One stream of the recording on its way into the file.
struct Chain {
    AVStream* input = nullptr;
    AVStream* output = nullptr;
    bool video = false;
    CodecPtr decoder;
    CodecPtr encoder;
    FilterGraph filters;        // empty until the first decoded frame
    BufferPtr hardwareFrames;   // the VAAPI surfaces pictures are uploaded into
    std::int64_t lastPts = AV_NOPTS_VALUE;  // of the frames given to the encoder, in its time base
    std::int64_t lastDts = AV_NOPTS_VALUE;  // of the packets written, in the output stream's
    std::int64_t framesEncoded = 0;
};

class Transcoder {
public:
    Transcoder(const ExportRequest& request, ExportResult& result) : m_request(request), m_result(result) {}

    void run(int fd, const ExportProgress& progress);

private:
    void openChains();
    void openDecoder(Chain& chain);
    void openVideoEncoder(Chain& chain);
    bool openHardwareEncoder(Chain& chain, int width, int height);
    void openAudioEncoder(Chain& chain);
    void finishEncoder(Chain& chain, AVCodecContext* encoder, AVDictionary** options, const char* name);

    void decode(Chain& chain, const AVPacket* packet);
    void filter(Chain& chain, AVFrame* frame);
    void drainFilters(Chain& chain, bool final);
    void encode(Chain& chain, AVFrame* frame);
    void write(Chain& chain, AVPacket* packet);
    [[noreturn]] void writeFailed(int error) const;

    const ExportRequest& m_request;
    ExportResult& m_result;
    PartInput m_input;
    AvioPtr m_inIo;
    InputPtr m_in;
    FdOutput m_output;
    AvioPtr m_outIo;
    OutputPtr m_out;
    std::vector<Chain> m_chains;
    std::vector<int> m_chainOf;  // the chain of each input stream, -1 for none
};

void Transcoder::openChains()
{
    const char* muxer = m_request.format == ExportFormat::Mp4 ? "mp4" : "matroska";
    AVFormatContext* outRaw = nullptr;
    if (const int error = avformat_alloc_output_context2(&outRaw, nullptr, muxer, nullptr); error < 0 || !outRaw)
        throw EncodeStop{"cannot prepare the " + std::string(muxer) + " file: " + AvError(error) + "."};
    m_out.reset(outRaw);

    // The first video stream and every audio stream are kept; the others are said.
    bool haveVideo = false;
    m_chainOf.assign(m_in->nb_streams, -1);
    for (unsigned i = 0; i < m_in->nb_streams; ++i) {
        AVStream* stream = m_in->streams[i];
        const AVMediaType type = stream->codecpar->codec_type;
        const bool video = type == AVMEDIA_TYPE_VIDEO && !haveVideo;
        if (!video && type != AVMEDIA_TYPE_AUDIO) {
            m_result.skipped.push_back(StreamName(stream));
            continue;
        }
        Chain chain;
        chain.input = stream;
        chain.video = video;
        haveVideo = haveVideo || video;
        m_chains.push_back(std::move(chain));
    }
    if (!haveVideo)
        throw EncodeStop{"the recording holds no video stream."};
    // The picture is the file's first stream, as players expect.
    std::stable_partition(m_chains.begin(), m_chains.end(), [](const Chain& chain) { return chain.video; });

    for (std::size_t i = 0; i < m_chains.size(); ++i) {
        Chain& chain = m_chains[i];
        openDecoder(chain);
        if (!chain.decoder) {
            m_result.skipped.push_back(StreamName(chain.input));
            continue;
        }
        if (chain.video)
            openVideoEncoder(chain);
        else
            openAudioEncoder(chain);
        m_chainOf[static_cast<std::size_t>(chain.input->index)] = static_cast<int>(i);
    }
}

// Leaves chain.decoder empty for an audio stream that cannot be decoded; the video must be.
void Transcoder::openDecoder(Chain& chain)
{
    const AVCodecParameters* par = chain.input->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    const bool audioKnown = chain.video || (par->sample_rate > 0 && par->ch_layout.nb_channels > 0);
    int error = AVERROR_DECODER_NOT_FOUND;
    if (codec && audioKnown) {
        CodecPtr decoder(avcodec_alloc_context3(codec));
        if (!decoder)
            throw EncodeStop{"out of memory."};
        error = avcodec_parameters_to_context(decoder.get(), par);
        decoder->pkt_timebase = chain.input->time_base;
        decoder->thread_count = 0;  // as many as the machine has
        if (error >= 0 && (error = avcodec_open2(decoder.get(), codec, nullptr)) >= 0) {
            chain.decoder = std::move(decoder);
            return;
        }
    }
    if (chain.video)
        throw EncodeStop{"the video (" + StreamName(chain.input) + ") cannot be decoded: " + AvError(error) + "."};
}

void Transcoder::openVideoEncoder(Chain& chain)
{
    const EncodeOptions& options = m_request.encode;
    const AVCodecParameters* par = chain.input->codecpar;
    if (par->width <= 0 || par->height <= 0)
        throw EncodeStop{"the recording's picture size cannot be told."};
    // 4:2:0 pictures have even sides.
    const int width = options.width > 0 ? options.width : par->width & ~1;
    const int height = options.height > 0 ? options.height : par->height & ~1;
    if (options.hardware && openHardwareEncoder(chain, width, height))
        return;

    const bool hevc = options.video == ExportVideo::Hevc;
    const char* name = hevc ? "libx265" : "libx264";
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec)
        throw EncodeStop{std::string("this FFmpeg has no ") + name + " encoder."};
    CodecPtr encoder(avcodec_alloc_context3(codec));
    if (!encoder)
        throw EncodeStop{"out of memory."};
    encoder->width = width;
    encoder->height = height;
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->thread_count = 0;
    AVDictionary* settings = nullptr;
    av_dict_set(&settings, "preset", kPreset, 0);
    const int crf = options.quality >= 0 ? options.quality : hevc ? kDefaultCrfHevc : kDefaultCrfH264;
    av_dict_set_int(&settings, "crf", crf, 0);
    if (hevc)
        av_dict_set(&settings, "x265-params", "log-level=none", 0);  // x265 writes to stderr itself
    chain.encoder = std::move(encoder);
    finishEncoder(chain, chain.encoder.get(), &settings, name);
}

// False, with a warning, when the machine has no VAAPI encoder for the format.
bool Transcoder::openHardwareEncoder(Chain& chain, int width, int height)
{
    const bool hevc = m_request.encode.video == ExportVideo::Hevc;
    const char* name = hevc ? "hevc_vaapi" : "h264_vaapi";
    const std::string instead = std::string("; encoded with ") + (hevc ? "libx265" : "libx264") + " instead.";
    // libva says only "invalid argument" of a device that is not there.
    AVBufferRef* deviceRaw = nullptr;
    const int error = ::access(kRenderNode, R_OK | W_OK) != 0
                          ? AVERROR(errno)
                          : av_hwdevice_ctx_create(&deviceRaw, AV_HWDEVICE_TYPE_VAAPI, kRenderNode, nullptr, 0);
    if (error < 0) {
        m_result.warnings.push_back(std::string("no VAAPI device at ") + kRenderNode + " (" + AvError(error) + ")" +
                                    instead);
        return false;
    }
    BufferPtr device(deviceRaw);
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    BufferPtr frames(av_hwframe_ctx_alloc(device.get()));
    CodecPtr encoder(codec ? avcodec_alloc_context3(codec) : nullptr);
    int failure = codec ? AVERROR(ENOMEM) : AVERROR_ENCODER_NOT_FOUND;
    if (frames && encoder) {
        auto* surfaces = reinterpret_cast<AVHWFramesContext*>(frames->data);
        surfaces->format = AV_PIX_FMT_VAAPI;
        surfaces->sw_format = AV_PIX_FMT_NV12;
        surfaces->width = width;
        surfaces->height = height;
        surfaces->initial_pool_size = kHardwareSurfaces;
        failure = av_hwframe_ctx_init(frames.get());
    }
    if (failure >= 0) {
        encoder->width = width;
        encoder->height = height;
        encoder->pix_fmt = AV_PIX_FMT_VAAPI;
        encoder->hw_frames_ctx = av_buffer_ref(frames.get());
        AVDictionary* settings = nullptr;
        if (m_request.encode.quality >= 0) {
            av_dict_set(&settings, "rc_mode", "CQP", 0);
            encoder->global_quality = std::max(1, m_request.encode.quality);
        }
        CodecPtr held = std::move(encoder);
        try {
            finishEncoder(chain, held.get(), &settings, name);
            chain.encoder = std::move(held);
            chain.hardwareFrames = std::move(frames);
            return true;
        } catch (const EncodeStop& stop) {
            m_result.warnings.push_back(stop.why.substr(0, stop.why.size() - 1) + instead);
            return false;
        }
    }
    m_result.warnings.push_back(std::string("the ") + name + " encoder cannot be used (" + AvError(failure) + ")" + instead);
    return false;
}

void Transcoder::openAudioEncoder(Chain& chain)
{
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (!codec)
        throw EncodeStop{"this FFmpeg has no aac encoder."};
    CodecPtr encoder(avcodec_alloc_context3(codec));
    if (!encoder)
        throw EncodeStop{"out of memory."};
    const AVCodecContext* decoder = chain.decoder.get();
    encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder->sample_rate = decoder->sample_rate;
    if (codec->supported_samplerates) {
        const int* rate = codec->supported_samplerates;
        while (*rate && *rate != decoder->sample_rate)
            ++rate;
        encoder->sample_rate = *rate ? *rate : 48000;
    }
    EncoderLayout(codec, decoder->ch_layout, encoder->ch_layout);
    encoder->bit_rate = kAacBitsPerChannel * encoder->ch_layout.nb_channels;
    AVDictionary* settings = nullptr;
    chain.encoder = std::move(encoder);
    finishEncoder(chain, chain.encoder.get(), &settings, "aac");
}

// Opens `encoder` and gives it an output stream; `chain.encoder` is set by the caller.
void Transcoder::finishEncoder(Chain& chain, AVCodecContext* encoder, AVDictionary** options, const char* name)
{
    AVStream* input = chain.input;
    if (chain.video) {
        // The scaler keeps the picture's shape; so does the size the file says.
        const AVRational sar = av_guess_sample_aspect_ratio(m_in.get(), input, nullptr);
        encoder->sample_aspect_ratio =
            sar.num > 0 ? av_mul_q(sar, AVRational{encoder->height * input->codecpar->width,
                                                   encoder->width * input->codecpar->height})
                        : AVRational{0, 1};
        AVRational rate = av_guess_frame_rate(m_in.get(), input, nullptr);
        encoder->framerate = rate.num > 0 ? rate : AVRational{25, 1};
        encoder->time_base = input->time_base;
        encoder->color_range = input->codecpar->color_range;
        encoder->color_primaries = input->codecpar->color_primaries;
        encoder->color_trc = input->codecpar->color_trc;
        encoder->colorspace = input->codecpar->color_space;
    } else {
        encoder->time_base = AVRational{1, encoder->sample_rate};
    }
    if (m_out->oformat->flags & AVFMT_GLOBALHEADER)
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int error = avcodec_open2(encoder, encoder->codec, options);
    av_dict_free(options);
    if (error < 0)
        throw EncodeStop{std::string("the ") + name + " encoder cannot be opened: " + AvError(error) + "."};

    AVStream* output = avformat_new_stream(m_out.get(), nullptr);
    if (!output || avcodec_parameters_from_context(output->codecpar, encoder) < 0)
        throw EncodeStop{"out of memory."};
    output->time_base = encoder->time_base;
    output->sample_aspect_ratio = encoder->sample_aspect_ratio;
    av_dict_copy(&output->metadata, input->metadata, 0);  // the language
    chain.output = output;
}

void Transcoder::decode(Chain& chain, const AVPacket* packet)
{
    // A damaged packet is left out; the decoder picks up again at the next one it can read.
    if (avcodec_send_packet(chain.decoder.get(), packet) < 0 && packet)
        return;
    FramePtr frame = NewFrame();
    for (;;) {
        const int got = avcodec_receive_frame(chain.decoder.get(), frame.get());
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return;
        if (got < 0)
            continue;  // a frame that could not be decoded
        frame->pts = frame->best_effort_timestamp;
        filter(chain, frame.get());
        av_frame_unref(frame.get());
    }
}

void Transcoder::filter(Chain& chain, AVFrame* frame)
{
    const std::string key = FrameKey(frame, chain.video);
    if (chain.filters.key != key) {
        if (chain.filters.graph)
            drainFilters(chain, false);
        std::string error;
        const AVCodecContext* encoder = chain.encoder.get();
        if (chain.video) {
            const VideoTarget target{encoder->width, encoder->height,
                                     chain.hardwareFrames ? AV_PIX_FMT_NV12 : encoder->pix_fmt,
                                     m_request.encode.deinterlace, chain.input->codecpar->field_order};
            chain.filters = BuildVideoFilters(frame, chain.input->time_base, target, error);
        } else {
            chain.filters = BuildAudioFilters(frame, chain.input->time_base, encoder->sample_rate,
                                              encoder->ch_layout, encoder->frame_size, error);
        }
        if (!chain.filters.graph)
            throw EncodeStop{"the " + StreamName(chain.input) + " cannot be converted: " + error};
    }
    if (const int error = av_buffersrc_add_frame_flags(chain.filters.source, frame, AV_BUFFERSRC_FLAG_KEEP_REF);
        error < 0)
        throw EncodeStop{"the " + StreamName(chain.input) + " cannot be converted: " + AvError(error) + "."};
    FramePtr out = NewFrame();
    while (av_buffersink_get_frame(chain.filters.sink, out.get()) >= 0) {
        encode(chain, out.get());
        av_frame_unref(out.get());
    }
}

// Ends the chain's filter graph and encodes what it still holds. Sound that does not fill the
// encoder's last frame is dropped unless the recording ends there: only the last frame may be short.
void Transcoder::drainFilters(Chain& chain, bool final)
{
    if (av_buffersrc_add_frame(chain.filters.source, nullptr) < 0)
        return;
    FramePtr out = NewFrame();
    while (av_buffersink_get_frame(chain.filters.sink, out.get()) >= 0) {
        if (final || chain.video || out->nb_samples >= chain.encoder->frame_size)
            encode(chain, out.get());
        av_frame_unref(out.get());
    }
}

// Gives the encoder `frame` (null: the end) and writes the packets it has ready.
void Transcoder::encode(Chain& chain, AVFrame* frame)
{
    AVCodecContext* encoder = chain.encoder.get();
    FramePtr uploaded;
    if (frame) {
        const AVRational from = av_buffersink_get_time_base(chain.filters.sink);
        if (frame->pts != AV_NOPTS_VALUE)
            frame->pts = av_rescale_q(frame->pts, from, encoder->time_base);
        else if (chain.lastPts != AV_NOPTS_VALUE)  // a frame without a time comes one frame after the last
            frame->pts = chain.lastPts + (chain.video ? av_rescale_q(1, av_inv_q(encoder->framerate), encoder->time_base)
                                                      : frame->nb_samples);
        else
            frame->pts = 0;
        // The encoder wants rising times; a broadcast's glitch may repeat one.
        if (chain.lastPts != AV_NOPTS_VALUE && frame->pts <= chain.lastPts)
            frame->pts = chain.lastPts + 1;
        chain.lastPts = frame->pts;
        frame->pict_type = AV_PICTURE_TYPE_NONE;  // the encoder chooses its own key frames
        if (chain.hardwareFrames) {
            uploaded = NewFrame();
            int error = av_hwframe_get_buffer(chain.hardwareFrames.get(), uploaded.get(), 0);
            if (error >= 0)
                error = av_hwframe_transfer_data(uploaded.get(), frame, 0);
            if (error >= 0)
                error = av_frame_copy_props(uploaded.get(), frame);
            if (error < 0)
                throw EncodeStop{"a picture cannot be given to the VAAPI encoder: " + AvError(error) + "."};
            frame = uploaded.get();
        }
        ++chain.framesEncoded;
    }
    if (const int error = avcodec_send_frame(encoder, frame); error < 0)
        throw EncodeStop{"the " + StreamName(chain.input) + " cannot be encoded: " + AvError(error) + "."};
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        throw EncodeStop{"out of memory."};
    for (;;) {
        const int got = avcodec_receive_packet(encoder, packet.get());
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return;
        if (got < 0)
            throw EncodeStop{"the " + StreamName(chain.input) + " cannot be encoded: " + AvError(got) + "."};
        write(chain, packet.get());
    }
}

void Transcoder::write(Chain& chain, AVPacket* packet)
{
    av_packet_rescale_ts(packet, chain.encoder->time_base, chain.output->time_base);
    packet->stream_index = chain.output->index;
    // MP4 takes only rising decoding times.
    if (packet->dts != AV_NOPTS_VALUE && chain.lastDts != AV_NOPTS_VALUE && packet->dts <= chain.lastDts) {
        packet->dts = chain.lastDts + 1;
        packet->pts = std::max(packet->pts, packet->dts);
    }
    if (packet->dts != AV_NOPTS_VALUE)
        chain.lastDts = packet->dts;
    if (chain.video)
        ++m_result.videoPackets;
    if (const int error = av_interleaved_write_frame(m_out.get(), packet); error < 0)
        writeFailed(error);
}

void Transcoder::writeFailed(int error) const
{
    if (m_output.error() != 0)
        throw EncodeStop{"cannot write " + m_request.outputPath + ": " + std::strerror(m_output.error()) + "."};
    throw EncodeStop{"cannot write " + m_request.outputPath + ": " + AvError(error) + "."};
}

void Transcoder::run(int fd, const ExportProgress& progress)
{
    if (std::string error = m_input.stream.open(m_request.partPaths); !error.empty())
        throw EncodeStop{error};
    m_input.stream.skipDamage(true);
    m_inIo = MakeReadIo(m_input);
    if (!m_inIo)
        throw EncodeStop{"out of memory."};
    std::string openError;
    m_in = OpenAnalysedTransportStream(m_inIo.get(), openError);
    if (!m_in)
        throw EncodeStop{openError};
    openChains();

    m_output.start(fd);
    m_outIo = MakeWriteIo(m_output);
    if (!m_outIo)
        throw EncodeStop{"out of memory."};
    m_out->pb = m_outIo.get();
    m_out->flags |= AVFMT_FLAG_CUSTOM_IO;
    // The file starts at 0 s, wherever the receiver's clock stood when the recording began.
    m_out->avoid_negative_ts = AVFMT_AVOID_NEG_TS_MAKE_ZERO;
    if (const int error = WriteContainerHeader(m_out.get()); error < 0)
        writeFailed(error);

    PacketPtr packet(av_packet_alloc());
    if (!packet)
        throw EncodeStop{"out of memory."};
    for (;;) {
        const int got = av_read_frame(m_in.get(), packet.get());
        if (got == AVERROR_EOF)
            break;
        if (got < 0)
            throw EncodeStop{"the recording cannot be read on: " + AvError(got) + "."};
        const int from = packet->stream_index;
        // Streams that turn up after the analysis have no chain.
        const int index = from >= 0 && static_cast<std::size_t>(from) < m_chainOf.size()
                              ? m_chainOf[static_cast<std::size_t>(from)] : -1;
        if (index >= 0)
            decode(m_chains[static_cast<std::size_t>(index)], packet.get());
        av_packet_unref(packet.get());
        if (progress && !progress(m_input.stream.position(), m_input.stream.size()))
            throw EncodeStop{"the export was stopped.", true};
    }

    // What the decoders, filters and encoders still hold.
    for (Chain& chain : m_chains) {
        if (!chain.decoder)
            continue;
        decode(chain, nullptr);
        if (chain.filters.graph)
            drainFilters(chain, true);
        encode(chain, nullptr);
        if (chain.video && chain.framesEncoded == 0)
            throw EncodeStop{"no picture of the recording could be decoded."};
    }
    if (const int error = av_write_trailer(m_out.get()); error < 0)
        writeFailed(error);
    avio_flush(m_out->pb);
    if (m_output.finish() != 0)
        writeFailed(0);
    m_result.bytesRead = m_input.stream.size();
    m_result.bytesWritten = m_output.end();
    for (const PartStream::Gap& gap : m_input.stream.gaps())
        m_result.lost.push_back({gap.partPath, gap.offset, gap.length});
}

}  // namespace

ExportResult EncodeInto(const ExportRequest& request, int fd, const ExportProgress& progress)
{
    ExportResult result;
    try {
        Transcoder(request, result).run(fd, progress);
        result.ok = true;
    } catch (const EncodeStop& stop) {
        result.ok = false;
        result.stopped = stop.stopped;
        result.error = stop.why;
    }
    return result;
}

}  // namespace vmx
