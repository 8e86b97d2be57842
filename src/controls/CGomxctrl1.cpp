#include "controls/CGomxctrl1.h"

#include "controls/CMpvSoftwareVideo.h"
#include "controls/CMpvVideoWidget.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QVBoxLayout>

// Playlist entry ids in the loadfile answer and in the start and end events.
static_assert(MPV_CLIENT_API_VERSION >= MPV_MAKE_VERSION(1, 108), "libmpv of mpv 0.33 or newer is needed");

namespace {

bool PlatformHasScreen()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

// Qt's own complaints while OpenGL is tried out; the player says it once in its own words.
void QuietDuringProbe(QtMsgType, const QMessageLogContext&, const QString&)
{
}

// True when an OpenGL context can be made current here. Asked once per process.
bool OpenGLWorks()
{
    static const bool works = [] {
        const QtMessageHandler previous = qInstallMessageHandler(&QuietDuringProbe);
        QOpenGLContext context;
        QOffscreenSurface surface;
        surface.create();
        const bool ok = context.create() && surface.isValid() && context.makeCurrent(&surface);
        if (ok)
            context.doneCurrent();
        qInstallMessageHandler(previous);
        return ok;
    }();
    return works;
}

void SayOnceThatOpenGLIsMissing()
{
    static bool said = false;
    if (!said) {
        said = true;
        qWarning("velmorix: OpenGL does not work on this display; the player draws video in software.");
    }
}

} // namespace

CGomxctrl1::CGomxctrl1(QWidget* parent, int controlId)
    : QWidget(parent)
    , m_controlId(controlId)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    StartMpv();
}

CGomxctrl1::~CGomxctrl1()
{
    // The render context must go before the mpv instance it draws.
    delete m_video;
    m_video = nullptr;
}

void CGomxctrl1::StartMpv()
{
    if (!m_mpv)
        return;
    const bool screen = PlatformHasScreen();
    m_mpv.SetOption("config", "no");
    m_mpv.SetOption("terminal", "no");
    m_mpv.SetOption("input-default-bindings", "no");
    m_mpv.SetOption("osc", "no");
    m_mpv.SetOption("load-scripts", "no");
    m_mpv.SetOption("ytdl", "no");
    m_mpv.SetOption("idle", "yes");
    m_mpv.SetOption("keep-open", "no");
    m_mpv.SetOption("image-display-duration", "inf");
    m_mpv.SetOption("audio-display", "no");
    m_mpv.SetOption("audio-fallback-to-null", "yes");
    // Decoding in software; no hardware decoder is probed (and none complains that its driver
    // library is missing).
    m_mpv.SetOption("hwdec", "no");
    m_mpv.SetOption("gpu-hwdec-interop", "no");
    // The next part of a recording is opened while the current one ends.
    m_mpv.SetOption("prefetch-playlist", "yes");
    m_mpv.SetOption("vo", screen ? "libmpv" : "null");
    if (!m_mpv.Initialize())
        return;
    mpv_set_wakeup_callback(
        m_mpv.get(),
        [](void* self) {
            auto* player = static_cast<CGomxctrl1*>(self);
            if (!player->m_drainQueued.exchange(true))
                QMetaObject::invokeMethod(player, &CGomxctrl1::DrainEvents, Qt::QueuedConnection);
        },
        this);
    if (!screen)
        return;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (OpenGLWorks())
        UseOpenGL();
    else
        UseSoftware();
}

void CGomxctrl1::UseOpenGL()
{
    auto* video = new CMpvVideoWidget(m_mpv.get(), this);
    m_video = video;
    m_output = VideoOutput::OpenGL;
    layout()->addWidget(video);
    connect(video, &CMpvVideoWidget::ready, this, [this] {
        if (m_waitingForVideo) {
            const QString path = *m_waitingForVideo;
            m_waitingForVideo.reset();
            LoadNow(path);
        }
    });
    // Decided while the widget sets itself up: replace it once that has returned.
    connect(video, &CMpvVideoWidget::unavailable, this, &CGomxctrl1::UseSoftware, Qt::QueuedConnection);
}

void CGomxctrl1::UseSoftware()
{
    SayOnceThatOpenGLIsMissing();
    delete m_video;
    auto* video = new CMpvSoftwareVideo(m_mpv.get(), this);
    m_video = video;
    m_output = VideoOutput::Software;
    layout()->addWidget(video);
    if (m_waitingForVideo) {
        const QString path = *m_waitingForVideo;
        m_waitingForVideo.reset();
        LoadNow(path);
    }
}

bool CGomxctrl1::VideoReady() const
{
    if (auto* gl = qobject_cast<CMpvVideoWidget*>(m_video))
        return gl->IsReady();
    return true;
}

void CGomxctrl1::SetFileName(const QString& path)
{
    Open(path, false);
}

void CGomxctrl1::OpenPaused(const QString& path)
{
    if (m_mpv && m_loaded && m_fileName == path) {
        Pause();
        return;
    }
    Open(path, true);
}

void CGomxctrl1::Open(const QString& path, bool paused)
{
    if (!m_mpv)
        return;
    m_paused = paused;
    m_loaded = true;
    m_fileReady = false;
    m_entry = kNoEntry;
    m_fileName = path;
    m_lastFile = path;
    m_pendingSeek.reset();
    ForgetQueued();
    m_mpv.SetProperty("pause", paused ? "yes" : "no");
    // Video needs the render context: until the widget has been shown once, hold the file back.
    if (!VideoReady()) {
        m_waitingForVideo = path;
        return;
    }
    LoadNow(path);
}

void CGomxctrl1::LoadNow(const QString& path)
{
    const QByteArray utf8 = path.toUtf8();
    const std::optional<std::int64_t> entry =
        m_mpv.CommandForInt({"loadfile", utf8.constData(), "replace"}, "playlist_entry_id");
    m_entry = entry.value_or(kNoEntry);
    if (!entry)
        m_loaded = false;
    else
        AppendQueued();
}

void CGomxctrl1::QueueNext(const QString& path)
{
    if (!m_mpv || !m_loaded || path.isEmpty())
        return;
    // Already lined up (a mark dragged through a part asks again at every step).
    if (m_nextEntry != kNoEntry && m_nextFile == path)
        return;
    if (m_nextEntry != kNoEntry)
        m_mpv.Command({"playlist-clear"});  // keeps the file being played
    m_nextEntry = kNoEntry;
    m_nextFile = path;
    // A file still held back for the video surface gets its follower once it is handed over.
    if (m_entry != kNoEntry)
        AppendQueued();
}

void CGomxctrl1::AppendQueued()
{
    if (m_nextFile.isEmpty() || m_nextEntry != kNoEntry)
        return;
    const QByteArray utf8 = m_nextFile.toUtf8();
    m_nextEntry = m_mpv.CommandForInt({"loadfile", utf8.constData(), "append"}, "playlist_entry_id").value_or(kNoEntry);
    if (m_nextEntry == kNoEntry)
        m_nextFile.clear();
}

void CGomxctrl1::ForgetQueued()
{
    m_nextEntry = kNoEntry;
    m_nextFile.clear();
}

void CGomxctrl1::SetCurrentPosition(double seconds, bool exact)
{
    if (!m_mpv || !m_loaded)
        return;
    if (!m_fileReady) {
        m_pendingSeek = seconds;
        m_pendingExact = exact;
        return;
    }
    const QByteArray target = QByteArray::number(seconds, 'f', 3);
    m_mpv.Command({"seek", target.constData(), exact ? "absolute+exact" : "absolute"});
}

std::optional<double> CGomxctrl1::FramesPerSecond() const
{
    if (!m_loaded)
        return std::nullopt;
    if (const std::optional<double> fps = m_mpv.GetDouble("container-fps"); fps && *fps > 0)
        return fps;
    return m_mpv.GetDouble("estimated-vf-fps");
}

int CGomxctrl1::GetPlayState() const
{
    if (!m_loaded)
        return kStopped;
    return m_paused ? kPaused : kPlaying;
}

void CGomxctrl1::Resume()
{
    if (!m_mpv)
        return;
    if (!m_loaded) {
        if (!m_lastFile.isEmpty())
            SetFileName(m_lastFile);
        return;
    }
    m_paused = false;
    m_mpv.SetProperty("pause", "no");
}

void CGomxctrl1::Pause()
{
    if (!m_mpv)
        return;
    m_paused = true;
    m_mpv.SetProperty("pause", "yes");
}

void CGomxctrl1::Stop()
{
    if (!m_mpv)
        return;
    m_loaded = false;
    m_fileReady = false;
    m_entry = kNoEntry;
    ForgetQueued();
    m_pendingSeek.reset();
    m_waitingForVideo.reset();
    m_mpv.Command({"stop"});
}

void CGomxctrl1::Release()
{
    Stop();
    m_lastFile.clear();
}

std::optional<double> CGomxctrl1::CurrentPosition() const
{
    if (!m_loaded)
        return std::nullopt;
    return m_mpv.GetDouble("time-pos");
}

bool CGomxctrl1::MpvHolds() const
{
    return m_mpv.GetFlag("pause").value_or(false);
}

void CGomxctrl1::DrainEvents()
{
    m_drainQueued = false;
    for (;;) {
        const mpv_event* event = mpv_wait_event(m_mpv.get(), 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        switch (event->event_id) {
        case MPV_EVENT_START_FILE:
            m_startedEntry = static_cast<const mpv_event_start_file*>(event->data)->playlist_entry_id;
            break;
        case MPV_EVENT_FILE_LOADED:
            // This event names no entry: it is about the file mpv started last.
            if (m_loaded && m_entry != kNoEntry && m_startedEntry == m_entry) {
                m_fileReady = true;
                if (m_pendingSeek) {
                    const double seconds = *m_pendingSeek;
                    m_pendingSeek.reset();
                    SetCurrentPosition(seconds, m_pendingExact);
                }
            }
            break;
        case MPV_EVENT_END_FILE: {
            // A file replaced by a newer one, or stopped, also ends; only the current file's end counts.
            const auto* end = static_cast<const mpv_event_end_file*>(event->data);
            if (m_entry == kNoEntry || end->playlist_entry_id != m_entry)
                break;
            const bool reachedEnd = end->reason == MPV_END_FILE_REASON_EOF;
            if (reachedEnd && m_loaded && m_nextEntry != kNoEntry) {
                // mpv goes on to the lined-up file by itself.
                m_entry = m_nextEntry;
                m_fileName = m_nextFile;
                m_lastFile = m_nextFile;
                m_fileReady = false;
                ForgetQueued();
                ++m_queuedStarts;
                emit EndOfFile(0);
                break;
            }
            const bool wasLoaded = m_loaded;
            m_loaded = false;
            m_fileReady = false;
            ForgetQueued();
            if (reachedEnd && wasLoaded)
                emit EndOfFile(0);
            break;
        }
        default:
            break;
        }
    }
}
