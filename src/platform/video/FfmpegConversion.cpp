#include "platform/video/FfmpegConversion.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace parlivo::video {

namespace {

constexpr int MaxWidth = 1280;
constexpr double PosterSeconds = 1.0;

// Same settings as `ffmpeg -c:v libx264 -preset veryfast -crf 23 -c:a aac -b:a 128k`, so
// the benchmark compares like with like. Threads: libavcodec's default is one; 0 hands the
// choice to libx264 and the decoders (all cores), as the ffmpeg tool does.
constexpr const char *X264Preset = "veryfast";
constexpr const char *X264Crf = "23";
constexpr int AacBitRate = 128000;

struct FormatInDeleter { void operator()(AVFormatContext *c) const { avformat_close_input(&c); } };
struct FormatOutDeleter
{
    void operator()(AVFormatContext *c) const
    {
        if (c->pb)
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct CodecDeleter { void operator()(AVCodecContext *c) const { avcodec_free_context(&c); } };
struct FrameDeleter { void operator()(AVFrame *f) const { av_frame_free(&f); } };
struct PacketDeleter { void operator()(AVPacket *p) const { av_packet_free(&p); } };
struct SwsDeleter { void operator()(SwsContext *s) const { sws_freeContext(s); } };
struct SwrDeleter { void operator()(SwrContext *s) const { swr_free(&s); } };
struct FifoDeleter { void operator()(AVAudioFifo *f) const { av_audio_fifo_free(f); } };

using InputPtr = std::unique_ptr<AVFormatContext, FormatInDeleter>;
using OutputPtr = std::unique_ptr<AVFormatContext, FormatOutDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;
using FifoPtr = std::unique_ptr<AVAudioFifo, FifoDeleter>;

FramePtr newFrame() { return FramePtr(av_frame_alloc()); }
PacketPtr newPacket() { return PacketPtr(av_packet_alloc()); }

const char *const NoVideo = "it holds no video the converter can read";
const char *const Damaged = "the file is damaged";

struct Failure
{
    std::string reason;
};

int interruptCallback(void *opaque)
{
    return static_cast<const std::atomic<bool> *>(opaque)->load() ? 1 : 0;
}

// Throws on a library error the person cannot act on beyond "it did not work".
void check(int rc, const char *what)
{
    if (rc < 0) {
        char buf[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(rc, buf, sizeof buf);
        throw Failure{std::string(what) + " (" + buf + ")"};
    }
}

struct Cancelled {};

// The output picture: displayed shape (sample aspect applied), at most MaxWidth wide,
// even sides because yuv420p halves both.
void outputSize(int w, int h, AVRational sar, int &outW, int &outH)
{
    double displayW = w;
    if (sar.num > 0 && sar.den > 0)
        displayW = w * av_q2d(sar);
    double dw = displayW, dh = h;
    if (dw > MaxWidth) {
        dh = dh * MaxWidth / dw;
        dw = MaxWidth;
    }
    outW = std::max(2, int(dw / 2 + 0.5) * 2);
    outH = std::max(2, int(dh / 2 + 0.5) * 2);
}

// Encodes one picture as a JPEG file, the way `ffmpeg -frames:v 1 poster.jpg` does.
bool writePoster(const AVFrame *src, const std::string &path)
{
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!codec)
        return false;
    CodecPtr enc(avcodec_alloc_context3(codec));
    enc->width = src->width;
    enc->height = src->height;
    enc->pix_fmt = AV_PIX_FMT_YUVJ420P;
    enc->time_base = AVRational{1, 25};
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = FF_QP2LAMBDA * 3;
    if (avcodec_open2(enc.get(), codec, nullptr) < 0)
        return false;
    SwsPtr sws(sws_getContext(src->width, src->height, AVPixelFormat(src->format), src->width,
                              src->height, AV_PIX_FMT_YUVJ420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!sws)
        return false;
    FramePtr pic = newFrame();
    pic->width = src->width;
    pic->height = src->height;
    pic->format = AV_PIX_FMT_YUVJ420P;
    if (av_frame_get_buffer(pic.get(), 0) < 0)
        return false;
    sws_scale(sws.get(), src->data, src->linesize, 0, src->height, pic->data, pic->linesize);
    pic->pts = 0;
    PacketPtr pkt = newPacket();
    if (avcodec_send_frame(enc.get(), pic.get()) < 0 || avcodec_send_frame(enc.get(), nullptr) < 0
        || avcodec_receive_packet(enc.get(), pkt.get()) < 0)
        return false;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(pkt->data, 1, pkt->size, f) == size_t(pkt->size);
    return (std::fclose(f) == 0) && ok;
}

// Picks the poster frame: the first one at or after a second in, else the first of all.
struct PosterPicker
{
    std::string path;
    FramePtr first;
    bool done = false;
    bool written = false;

    // Returns true once no more frames are wanted.
    bool offer(const AVFrame *frame, double seconds)
    {
        if (done)
            return true;
        if (seconds >= PosterSeconds || seconds < 0) {
            finish(frame);
            return true;
        }
        if (!first) {
            first = newFrame();
            av_frame_ref(first.get(), frame);
        }
        return false;
    }
    void finish(const AVFrame *frame = nullptr)
    {
        if (done)
            return;
        done = true;
        const AVFrame *pick = frame ? frame : first.get();
        if (pick)
            written = writePoster(pick, path);
    }
};

class Converter
{
public:
    Converter(const std::string &source, const std::string &mp4, const std::string &poster,
              const std::atomic<bool> &cancel, const std::function<void(int)> &progress)
        : m_source(source), m_mp4(mp4), m_cancel(cancel), m_progress(progress)
    {
        m_poster.path = poster;
    }

    ConversionOutcome run()
    {
        ConversionOutcome out;
        try {
            open();
            if (canRemux()) {
                out.remuxed = true;
                remux();
            } else {
                transcode();
            }
            out.converted = true;
            out.posterWritten = m_poster.written;
        } catch (const Cancelled &) {
            out.cancelled = true;
        } catch (const Failure &f) {
            if (m_cancel.load())
                out.cancelled = true;
            else
                out.error = f.reason;
        }
        return out;
    }

private:
    void throwIfCancelled() const
    {
        if (m_cancel.load())
            throw Cancelled{};
    }

    void open()
    {
        AVFormatContext *ctx = avformat_alloc_context();
        ctx->interrupt_callback.callback = interruptCallback;
        ctx->interrupt_callback.opaque = const_cast<std::atomic<bool> *>(&m_cancel);
        int rc = avformat_open_input(&ctx, m_source.c_str(), nullptr, nullptr);
        throwIfCancelled();
        if (rc < 0)
            throw Failure{rc == AVERROR(ENOENT) || rc == AVERROR(EACCES) ? "the file cannot be opened" : Damaged};
        m_in.reset(ctx);
        rc = avformat_find_stream_info(ctx, nullptr);
        throwIfCancelled();
        if (rc < 0)
            throw Failure{Damaged};
        m_videoIndex = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (m_videoIndex < 0)
            throw Failure{NoVideo};
        AVStream *vs = ctx->streams[m_videoIndex];
        if (!avcodec_find_decoder(vs->codecpar->codec_id) || vs->codecpar->width <= 0 || vs->codecpar->height <= 0)
            throw Failure{NoVideo};
        m_audioIndex = av_find_best_stream(ctx, AVMEDIA_TYPE_AUDIO, -1, m_videoIndex, nullptr, 0);
        if (m_audioIndex >= 0 && !avcodec_find_decoder(ctx->streams[m_audioIndex]->codecpar->codec_id))
            m_audioIndex = -1;
        m_startTime = ctx->start_time != AV_NOPTS_VALUE ? ctx->start_time : 0;
        m_duration = ctx->duration > 0 ? ctx->duration : 0;
        if (m_duration <= 0 && vs->duration > 0)
            m_duration = av_rescale_q(vs->duration, vs->time_base, AV_TIME_BASE_Q);
    }

    bool canRemux() const
    {
        const AVCodecParameters *v = m_in->streams[m_videoIndex]->codecpar;
        if (v->codec_id != AV_CODEC_ID_H264 || v->format != AV_PIX_FMT_YUV420P || v->width > MaxWidth)
            return false;
        if (m_audioIndex >= 0 && m_in->streams[m_audioIndex]->codecpar->codec_id != AV_CODEC_ID_AAC)
            return false;
        return true;
    }

    double secondsOf(int64_t ts, AVRational tb) const
    {
        if (ts == AV_NOPTS_VALUE)
            return -1;
        return av_q2d(tb) * ts - double(m_startTime) / AV_TIME_BASE;
    }

    // The next packet, or false at the end of the file or at a read error (remembered).
    bool readPacket(AVPacket *pkt)
    {
        throwIfCancelled();
        const int rc = av_read_frame(m_in.get(), pkt);
        throwIfCancelled();
        if (rc < 0) {
            m_readError = rc != AVERROR_EOF;
            return false;
        }
        if (pkt->stream_index == m_videoIndex)
            reportProgress(secondsOf(pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts, m_in->streams[m_videoIndex]->time_base));
        return true;
    }

    // By the playing time and by how far the file was read, whichever is further: some
    // files do not say how long they are, and one written to a pipe can claim half an hour.
    void reportProgress(double seconds)
    {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lastReport < std::chrono::milliseconds(250))
            return;
        double done = -1;
        if (m_duration > 0 && seconds >= 0)
            done = seconds * AV_TIME_BASE / double(m_duration);
        if (m_in->pb) {
            const int64_t size = avio_size(m_in->pb);
            if (size > 0)
                done = std::max(done, double(avio_tell(m_in->pb)) / double(size));
        }
        if (done < 0)
            return;
        m_lastReport = now;
        const int percent = std::clamp(int(done * 100.0), 0, 99);
        if (percent != m_lastPercent) {
            m_lastPercent = percent;
            m_progress(percent);
        }
    }

    void openOutput()
    {
        AVFormatContext *ctx = nullptr;
        check(avformat_alloc_output_context2(&ctx, av_guess_format("mp4", nullptr, nullptr), nullptr, m_mp4.c_str()),
              "the MP4 cannot be made");
        m_out.reset(ctx);
        ctx->interrupt_callback = m_in->interrupt_callback;
        // No "encoder" tag: the copy says nothing of how or where it was made.
        ctx->flags |= AVFMT_FLAG_BITEXACT;
    }

    void writeHeader()
    {
        check(avio_open2(&m_out->pb, m_mp4.c_str(), AVIO_FLAG_WRITE, &m_out->interrupt_callback, nullptr),
              "the converted video cannot be written");
        AVDictionary *opts = nullptr;
        av_dict_set(&opts, "movflags", "+faststart", 0);
        const int rc = avformat_write_header(m_out.get(), &opts);
        av_dict_free(&opts);
        throwIfCancelled();
        check(rc, "the converted video cannot be written");
    }

    void finishOutput()
    {
        throwIfCancelled();
        check(av_write_trailer(m_out.get()), "the converted video cannot be written");
        throwIfCancelled();
        check(avio_closep(&m_out->pb), "the converted video cannot be written");
        m_progress(100);
    }

    CodecPtr openDecoder(int index)
    {
        const AVStream *st = m_in->streams[index];
        const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
        CodecPtr dec(avcodec_alloc_context3(codec));
        check(avcodec_parameters_to_context(dec.get(), st->codecpar), NoVideo);
        dec->pkt_timebase = st->time_base;
        dec->thread_count = 0;
        if (avcodec_open2(dec.get(), codec, nullptr) < 0)
            throw Failure{index == m_videoIndex ? NoVideo : "its sound cannot be read"};
        return dec;
    }

    // Stream copy: the source already is what browsers play; only the container changes.
    void remux()
    {
        openOutput();
        int map[2] = {m_videoIndex, m_audioIndex};
        int outIndex[64];
        std::fill(std::begin(outIndex), std::end(outIndex), -1);
        for (int src : map) {
            if (src < 0 || src >= 64)
                continue;
            AVStream *os = avformat_new_stream(m_out.get(), nullptr);
            check(avcodec_parameters_copy(os->codecpar, m_in->streams[src]->codecpar), "the MP4 cannot be made");
            os->codecpar->codec_tag = 0;
            os->time_base = m_in->streams[src]->time_base;
            outIndex[src] = os->index;
        }
        writeHeader();
        CodecPtr dec = openDecoder(m_videoIndex);
        FramePtr frame = newFrame();
        PacketPtr pkt = newPacket();
        // A damaged tail ends the copy there: what was read is kept.
        while (readPacket(pkt.get())) {
            const int si = pkt->stream_index;
            if (si >= 64 || outIndex[si] < 0) {
                av_packet_unref(pkt.get());
                continue;
            }
            AVStream *is = m_in->streams[si];
            if (si == m_videoIndex && !m_poster.done && avcodec_send_packet(dec.get(), pkt.get()) >= 0) {
                while (avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
                    m_poster.offer(frame.get(), secondsOf(frame->best_effort_timestamp, is->time_base));
                    av_frame_unref(frame.get());
                }
            }
            AVStream *os = m_out->streams[outIndex[si]];
            // Starting at zero, as the converted copies do.
            const int64_t offset = av_rescale_q(m_startTime, AV_TIME_BASE_Q, is->time_base);
            if (pkt->pts != AV_NOPTS_VALUE)
                pkt->pts -= offset;
            if (pkt->dts != AV_NOPTS_VALUE)
                pkt->dts -= offset;
            av_packet_rescale_ts(pkt.get(), is->time_base, os->time_base);
            pkt->stream_index = os->index;
            pkt->pos = -1;
            check(av_interleaved_write_frame(m_out.get(), pkt.get()), "the converted video cannot be written");
        }
        if (!m_poster.done) {
            avcodec_send_packet(dec.get(), nullptr);
            while (!m_poster.done && avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
                m_poster.offer(frame.get(), secondsOf(frame->best_effort_timestamp, m_in->streams[m_videoIndex]->time_base));
                av_frame_unref(frame.get());
            }
            m_poster.finish();
        }
        finishOutput();
    }

    void transcode()
    {
        openOutput();
        AVStream *vin = m_in->streams[m_videoIndex];
        m_vdec = openDecoder(m_videoIndex);
        int outW = 0, outH = 0;
        outputSize(m_vdec->width, m_vdec->height, av_guess_sample_aspect_ratio(m_in.get(), vin, nullptr), outW, outH);

        const AVCodec *h264 = avcodec_find_encoder_by_name("libx264");
        if (!h264)
            throw Failure{"this system has no H.264 encoder"};
        m_venc.reset(avcodec_alloc_context3(h264));
        m_venc->width = outW;
        m_venc->height = outH;
        m_venc->pix_fmt = AV_PIX_FMT_YUV420P;
        m_venc->sample_aspect_ratio = AVRational{1, 1};
        AVRational rate = av_guess_frame_rate(m_in.get(), vin, nullptr);
        if (rate.num <= 0 || rate.den <= 0)
            rate = AVRational{25, 1};
        m_venc->framerate = rate;
        // The source's own clock, so variable frame rates keep their timing.
        m_venc->time_base = vin->time_base;
        m_venc->thread_count = 0;
        if (m_out->oformat->flags & AVFMT_GLOBALHEADER)
            m_venc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        av_opt_set(m_venc->priv_data, "preset", X264Preset, 0);
        av_opt_set(m_venc->priv_data, "crf", X264Crf, 0);
        check(avcodec_open2(m_venc.get(), h264, nullptr), "the H.264 encoder does not start");
        m_vout = avformat_new_stream(m_out.get(), nullptr);
        check(avcodec_parameters_from_context(m_vout->codecpar, m_venc.get()), "the MP4 cannot be made");
        m_vout->time_base = m_venc->time_base;
        m_vout->avg_frame_rate = rate;

        if (m_audioIndex >= 0)
            setUpAudio();

        writeHeader();

        FramePtr frame = newFrame();
        PacketPtr pkt = newPacket();
        while (readPacket(pkt.get())) {
            const int si = pkt->stream_index;
            if (si == m_videoIndex) {
                if (avcodec_send_packet(m_vdec.get(), pkt.get()) >= 0)
                    drainVideoDecoder(frame.get());
            } else if (si == m_audioIndex && m_adec) {
                if (avcodec_send_packet(m_adec.get(), pkt.get()) >= 0)
                    drainAudioDecoder(frame.get());
            }
            av_packet_unref(pkt.get());
        }
        avcodec_send_packet(m_vdec.get(), nullptr);
        drainVideoDecoder(frame.get());
        if (m_adec) {
            avcodec_send_packet(m_adec.get(), nullptr);
            drainAudioDecoder(frame.get());
            flushAudio(true);
            encodeAudio(nullptr);
        }
        encodeVideo(nullptr);
        m_poster.finish();
        if (m_videoFrames == 0)
            throw Failure{m_readError ? Damaged : NoVideo};
        finishOutput();
    }

    void drainVideoDecoder(AVFrame *frame)
    {
        while (avcodec_receive_frame(m_vdec.get(), frame) >= 0) {
            throwIfCancelled();
            if (!m_scaled || frame->width != m_scaledSrcW || frame->height != m_scaledSrcH
                || frame->format != m_scaledSrcFmt) {
                m_sws.reset(sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
                                           m_venc->width, m_venc->height, AV_PIX_FMT_YUV420P, SWS_BICUBIC,
                                           nullptr, nullptr, nullptr));
                if (!m_sws)
                    throw Failure{NoVideo};
                m_scaledSrcW = frame->width;
                m_scaledSrcH = frame->height;
                m_scaledSrcFmt = frame->format;
                m_scaled = newFrame();
            }
            // A fresh buffer each time: the encoder may still hold the last one.
            FramePtr out = newFrame();
            out->width = m_venc->width;
            out->height = m_venc->height;
            out->format = AV_PIX_FMT_YUV420P;
            check(av_frame_get_buffer(out.get(), 0), "out of memory");
            sws_scale(m_sws.get(), frame->data, frame->linesize, 0, frame->height, out->data, out->linesize);
            const AVRational tb = m_in->streams[m_videoIndex]->time_base;
            int64_t pts = frame->best_effort_timestamp;
            if (pts == AV_NOPTS_VALUE)
                pts = m_nextVideoPts;
            else
                pts -= av_rescale_q(m_startTime, AV_TIME_BASE_Q, tb);
            if (m_videoFrames > 0 && pts <= m_lastVideoPts)
                pts = m_lastVideoPts + 1;   // the MP4 needs strictly rising times
            m_lastVideoPts = pts;
            m_nextVideoPts = pts + std::max<int64_t>(1, av_rescale_q(1, av_inv_q(m_venc->framerate), tb));
            out->pts = pts;
            m_poster.offer(out.get(), av_q2d(tb) * pts);
            ++m_videoFrames;
            encodeVideo(out.get());
            av_frame_unref(frame);
        }
    }

    void encodeVideo(AVFrame *frame)
    {
        check(avcodec_send_frame(m_venc.get(), frame), "the H.264 encoder failed");
        writeEncoded(m_venc.get(), m_vout);
    }

    void writeEncoded(AVCodecContext *enc, AVStream *os)
    {
        PacketPtr pkt = newPacket();
        while (avcodec_receive_packet(enc, pkt.get()) >= 0) {
            av_packet_rescale_ts(pkt.get(), enc->time_base, os->time_base);
            pkt->stream_index = os->index;
            check(av_interleaved_write_frame(m_out.get(), pkt.get()), "the converted video cannot be written");
        }
    }

    void setUpAudio()
    {
        try {
            m_adec = openDecoder(m_audioIndex);
        } catch (const Failure &) {
            m_adec.reset();   // the picture alone is still worth publishing
            return;
        }
        const AVCodec *aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (!aac) {
            m_adec.reset();
            return;
        }
        m_aenc.reset(avcodec_alloc_context3(aac));
        static const int rates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};
        int rate = 48000;
        for (int r : rates)
            if (r == m_adec->sample_rate)
                rate = r;
        m_aenc->sample_rate = rate;
        const int channels = std::clamp(m_adec->ch_layout.nb_channels, 1, 2);
        av_channel_layout_default(&m_aenc->ch_layout, channels);
        m_aenc->sample_fmt = AV_SAMPLE_FMT_FLTP;
        m_aenc->bit_rate = AacBitRate;
        m_aenc->time_base = AVRational{1, rate};
        if (m_out->oformat->flags & AVFMT_GLOBALHEADER)
            m_aenc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        check(avcodec_open2(m_aenc.get(), aac, nullptr), "the AAC encoder does not start");
        m_aout = avformat_new_stream(m_out.get(), nullptr);
        check(avcodec_parameters_from_context(m_aout->codecpar, m_aenc.get()), "the MP4 cannot be made");
        m_aout->time_base = m_aenc->time_base;
        m_fifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, channels, 4096));
    }

    void ensureResampler(const AVFrame *frame)
    {
        if (m_swr)
            return;
        AVChannelLayout inLayout;
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels <= 0)
            av_channel_layout_default(&inLayout, std::max(1, frame->ch_layout.nb_channels));
        else
            av_channel_layout_copy(&inLayout, &frame->ch_layout);
        SwrContext *swr = nullptr;
        const int rc = swr_alloc_set_opts2(&swr, &m_aenc->ch_layout, AV_SAMPLE_FMT_FLTP, m_aenc->sample_rate,
                                           &inLayout, AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        check(rc, "the sound cannot be converted");
        m_swr.reset(swr);
        check(swr_init(swr), "the sound cannot be converted");
        const AVRational tb = m_in->streams[m_audioIndex]->time_base;
        if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
            const int64_t start = frame->best_effort_timestamp - av_rescale_q(m_startTime, AV_TIME_BASE_Q, tb);
            m_audioPts = std::max<int64_t>(0, av_rescale_q(start, tb, m_aenc->time_base));
        }
    }

    void drainAudioDecoder(AVFrame *frame)
    {
        while (avcodec_receive_frame(m_adec.get(), frame) >= 0) {
            ensureResampler(frame);
            const int maxOut = swr_get_out_samples(m_swr.get(), frame->nb_samples);
            uint8_t **buf = nullptr;
            int linesize = 0;
            check(av_samples_alloc_array_and_samples(&buf, &linesize, m_aenc->ch_layout.nb_channels, maxOut,
                                                     AV_SAMPLE_FMT_FLTP, 0), "out of memory");
            const int n = swr_convert(m_swr.get(), buf, maxOut, const_cast<const uint8_t **>(frame->extended_data),
                                      frame->nb_samples);
            if (n > 0)
                av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void **>(buf), n);
            av_freep(&buf[0]);
            av_freep(&buf);
            av_frame_unref(frame);
            flushAudio(false);
        }
    }

    void flushAudio(bool all)
    {
        if (all && m_swr) {
            // What the resampler still holds.
            const int maxOut = swr_get_out_samples(m_swr.get(), 0);
            if (maxOut > 0) {
                uint8_t **buf = nullptr;
                int linesize = 0;
                if (av_samples_alloc_array_and_samples(&buf, &linesize, m_aenc->ch_layout.nb_channels, maxOut,
                                                       AV_SAMPLE_FMT_FLTP, 0) >= 0) {
                    const int n = swr_convert(m_swr.get(), buf, maxOut, nullptr, 0);
                    if (n > 0)
                        av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void **>(buf), n);
                    av_freep(&buf[0]);
                    av_freep(&buf);
                }
            }
        }
        const int frameSize = m_aenc->frame_size > 0 ? m_aenc->frame_size : 1024;
        while (av_audio_fifo_size(m_fifo.get()) >= frameSize || (all && av_audio_fifo_size(m_fifo.get()) > 0)) {
            const int n = std::min(frameSize, av_audio_fifo_size(m_fifo.get()));
            FramePtr out = newFrame();
            out->nb_samples = n;
            out->format = AV_SAMPLE_FMT_FLTP;
            out->sample_rate = m_aenc->sample_rate;
            av_channel_layout_copy(&out->ch_layout, &m_aenc->ch_layout);
            check(av_frame_get_buffer(out.get(), 0), "out of memory");
            av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void **>(out->data), n);
            out->pts = m_audioPts;
            m_audioPts += n;
            encodeAudio(out.get());
        }
    }

    void encodeAudio(AVFrame *frame)
    {
        check(avcodec_send_frame(m_aenc.get(), frame), "the AAC encoder failed");
        writeEncoded(m_aenc.get(), m_aout);
    }

    std::string m_source, m_mp4;
    const std::atomic<bool> &m_cancel;
    const std::function<void(int)> &m_progress;
    PosterPicker m_poster;
    std::chrono::steady_clock::time_point m_lastReport{};
    int m_lastPercent = -1;

    InputPtr m_in;
    OutputPtr m_out;
    int m_videoIndex = -1, m_audioIndex = -1;
    int64_t m_startTime = 0, m_duration = 0;
    bool m_readError = false;

    CodecPtr m_vdec, m_venc, m_adec, m_aenc;
    AVStream *m_vout = nullptr, *m_aout = nullptr;
    SwsPtr m_sws;
    FramePtr m_scaled;
    int m_scaledSrcW = 0, m_scaledSrcH = 0, m_scaledSrcFmt = -1;
    int64_t m_lastVideoPts = 0, m_nextVideoPts = 0, m_videoFrames = 0;
    SwrPtr m_swr;
    FifoPtr m_fifo;
    int64_t m_audioPts = 0;
};

} // namespace

ConversionOutcome convertForWeb(const std::string &source, const std::string &mp4Path,
                                const std::string &posterPath, const std::atomic<bool> &cancel,
                                const std::function<void(int)> &progress)
{
    av_log_set_level(AV_LOG_ERROR);
    return Converter(source, mp4Path, posterPath, cancel, progress).run();
}

namespace {

// The muxer for a published original's extension. MPEG-2 video goes into a VOB-style
// program stream, as DVD-made .mpg and .mpeg files hold it.
const AVOutputFormat *muxerFor(std::string extension, const AVFormatContext *in)
{
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (extension == ".mpg" || extension == ".mpeg") {
        for (unsigned i = 0; i < in->nb_streams; ++i) {
            if (in->streams[i]->codecpar->codec_id == AV_CODEC_ID_MPEG2VIDEO)
                return av_guess_format("vob", nullptr, nullptr);
        }
        return av_guess_format("mpeg", nullptr, nullptr);
    }
    const std::string name = "x" + extension;
    return av_guess_format(nullptr, name.c_str(), nullptr);
}

} // namespace

CleanOutcome remuxWithoutMetadata(const std::string &source, const std::string &target,
                                  const std::string &extension, const std::atomic<bool> &cancel)
{
    av_log_set_level(AV_LOG_ERROR);
    CleanOutcome out;
    try {
        AVFormatContext *ctx = avformat_alloc_context();
        ctx->interrupt_callback.callback = interruptCallback;
        ctx->interrupt_callback.opaque = const_cast<std::atomic<bool> *>(&cancel);
        int rc = avformat_open_input(&ctx, source.c_str(), nullptr, nullptr);
        if (rc < 0)
            throw Failure{rc == AVERROR(ENOENT) || rc == AVERROR(EACCES) ? "the file cannot be opened" : Damaged};
        InputPtr in(ctx);
        if (avformat_find_stream_info(ctx, nullptr) < 0)
            throw Failure{Damaged};
        const AVOutputFormat *format = muxerFor(extension, ctx);
        if (!format)
            throw Failure{"its format cannot be written"};
        AVFormatContext *octx = nullptr;
        check(avformat_alloc_output_context2(&octx, format, nullptr, target.c_str()), "it cannot be written again");
        OutputPtr output(octx);
        octx->interrupt_callback = ctx->interrupt_callback;
        octx->flags |= AVFMT_FLAG_BITEXACT;
        std::vector<int> map(ctx->nb_streams, -1);
        for (unsigned i = 0; i < ctx->nb_streams; ++i) {
            const AVStream *is = ctx->streams[i];
            const AVMediaType type = is->codecpar->codec_type;
            if ((type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) || (is->disposition & AV_DISPOSITION_ATTACHED_PIC))
                continue;
            AVStream *os = avformat_new_stream(octx, nullptr);
            check(avcodec_parameters_copy(os->codecpar, is->codecpar), "it cannot be written again");
            // The container's own tag for the codec, as a fresh file of this type would carry.
            os->codecpar->codec_tag = 0;
            os->time_base = is->time_base;
            os->avg_frame_rate = is->avg_frame_rate;
            os->r_frame_rate = is->r_frame_rate;
            os->sample_aspect_ratio = is->sample_aspect_ratio;
            map[i] = os->index;
        }
        if (octx->nb_streams == 0)
            throw Failure{NoVideo};
        check(avio_open2(&octx->pb, target.c_str(), AVIO_FLAG_WRITE, &octx->interrupt_callback, nullptr),
              "it cannot be written again");
        check(avformat_write_header(octx, nullptr), "its streams cannot be written again in their format");
        PacketPtr pkt = newPacket();
        for (;;) {
            if (cancel.load())
                throw Cancelled{};
            rc = av_read_frame(ctx, pkt.get());
            if (rc < 0)
                break;   // the end, or a damaged tail: what was read is kept
            const int si = pkt->stream_index;
            if (si < 0 || si >= int(map.size()) || map[si] < 0) {
                av_packet_unref(pkt.get());
                continue;
            }
            av_packet_rescale_ts(pkt.get(), ctx->streams[si]->time_base, octx->streams[map[si]]->time_base);
            pkt->stream_index = map[si];
            pkt->pos = -1;
            // A packet the muxer refuses (a timestamp out of order in a damaged file) is
            // left out rather than ending the copy.
            av_interleaved_write_frame(octx, pkt.get());
        }
        if (cancel.load())
            throw Cancelled{};
        check(av_write_trailer(octx), "it cannot be written again");
        check(avio_closep(&octx->pb), "it cannot be written again");
        out.cleaned = true;
    } catch (const Cancelled &) {
        out.cancelled = true;
    } catch (const Failure &f) {
        out.cancelled = cancel.load();
        out.error = f.reason;
    }
    if (!out.cleaned)
        std::remove(target.c_str());
    return out;
}

} // namespace parlivo::video
