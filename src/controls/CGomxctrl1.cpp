#include "controls/CGomxctrl1.h"

#include "controls/CMpvSoftwareVideo.h"
#include "controls/CMpvVideoWidget.h"

#include <QFile>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QVBoxLayout>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

// Playlist entry ids in the loadfile answer and in the start and end events.
static_assert(MPV_CLIENT_API_VERSION >= MPV_MAKE_VERSION(1, 108), "libmpv of mpv 0.33 or newer is needed");

using vmx::Mpv;

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

// True when the X server lets its clients draw with the graphics card (DRI3 or DRI2), and on
// other platforms. Without it Mesa's OpenGL runs on the processor (llvmpipe): slower than mpv's
// own software renderer, and it loads LLVM and its code generator (some 60 MB resident more
// before a picture is drawn). Asked once per process, without loading any OpenGL library.
bool DirectRendering()
{
    static const bool direct = [] {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (x11 == nullptr || x11->connection() == nullptr)
            return true;
        xcb_connection_t* connection = x11->connection();
        for (const char* name : {"DRI3", "DRI2"}) {
            const xcb_query_extension_cookie_t cookie =
                xcb_query_extension(connection, std::uint16_t(std::strlen(name)), name);
            xcb_query_extension_reply_t* reply = xcb_query_extension_reply(connection, cookie, nullptr);
            const bool present = reply != nullptr && reply->present != 0;
            std::free(reply);
            if (present)
                return true;
        }
        return false;
    }();
    return direct;
}

bool g_openGLWithoutDirectRendering = false;

void SayOnceThatOpenGLIsMissing()
{
    static bool said = false;
    if (!said) {
        said = true;
        qWarning("velmorix: OpenGL does not work on this display%s; the player draws video in software.",
                 DirectRendering() ? "" : " with a graphics card (no direct rendering)");
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
}

CGomxctrl1::~CGomxctrl1()
{
    // The render context must go before the mpv instance it draws.
    delete m_video;
    m_video = nullptr;
}

void CGomxctrl1::AllowOpenGLWithoutDirectRendering(bool allow)
{
    g_openGLWithoutDirectRendering = allow;
}

bool CGomxctrl1::Start()
{
    if (!m_started) {
        m_started = true;
        if (!StartMpv()) {
            if (m_problem.isEmpty())
                m_problem = QStringLiteral("The player cannot start: libmpv refused its settings.");
            qWarning("velmorix: %s", qPrintable(m_problem));
        }
    }
    return IsAvailable();
}

bool CGomxctrl1::StartMpv()
{
    std::string problem;
    if (!m_mpv.Create(problem)) {
        m_problem = QString::fromStdString(problem);
        return false;
    }
    const bool screen = PlatformHasScreen();
    m_mpv.SetOption("config", "no");
    m_mpv.SetOption("terminal", "no");
    m_mpv.SetOption("input-default-bindings", "no");
    m_mpv.SetOption("osc", "no");
    m_mpv.SetOption("load-scripts", "no");
    // Nor mpv's own scripts: each would run in a Lua interpreter and a thread of its own.
    m_mpv.SetOption("load-stats-overlay", "no");
    m_mpv.SetOption("load-osd-console", "no");
    m_mpv.SetOption("load-auto-profiles", "no");
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
    m_mpv.SetOption("vo", screen ? "libmpv" : "null");
    if (!m_mpv.Initialize() || !m_parts.Register(m_mpv.get(), Mpv().stream_cb_add_ro))
        return false;
    Mpv().set_wakeup_callback(
        m_mpv.get(),
        [](void* self) {
            auto* player = static_cast<CGomxctrl1*>(self);
            if (!player->m_drainQueued.exchange(true))
                QMetaObject::invokeMethod(player, &CGomxctrl1::DrainEvents, Qt::QueuedConnection);
        },
        this);
    if (!screen)
        return true;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if ((DirectRendering() || g_openGLWithoutDirectRendering) && OpenGLWorks())
        UseOpenGL();
    else
        UseSoftware();
    return true;
}

void CGomxctrl1::UseOpenGL()
{
    auto* video = new CMpvVideoWidget(m_mpv.get(), this);
    m_video = video;
    m_output = VideoOutput::OpenGL;
    layout()->addWidget(video);
    connect(video, &CMpvVideoWidget::ready, this, [this] {
        if (m_waitingForVideo) {
            m_waitingForVideo = false;
            LoadNow();
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
        m_waitingForVideo = false;
        LoadNow();
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
    Open({path}, false, false);
}

void CGomxctrl1::SetParts(const QStringList& parts)
{
    Open(parts, true, false);
}

void CGomxctrl1::OpenPartsPaused(const QStringList& parts)
{
    if (m_loaded && m_recording && m_source == parts) {
        Pause();
        return;
    }
    Open(parts, true, true);
}

void CGomxctrl1::Open(const QStringList& source, bool recording, bool paused)
{
    if (!Start() || source.isEmpty())
        return;
    m_paused = paused;
    m_loaded = true;
    m_fileReady = false;
    m_entry = kNoEntry;
    m_source = source;
    m_recording = recording;
    m_lastSource = source;
    m_lastRecording = recording;
    m_pendingSeek.reset();
    m_mpv.SetProperty("pause", paused ? "yes" : "no");
    // Video needs the render context: until the widget has been shown once, hold the file back.
    if (!VideoReady()) {
        m_waitingForVideo = true;
        return;
    }
    LoadNow();
}

void CGomxctrl1::LoadNow()
{
    QByteArray address;
    if (m_recording) {
        std::vector<std::string> paths;
        paths.reserve(std::size_t(m_source.size()));
        for (const QString& part : m_source)
            paths.push_back(QFile::encodeName(part).toStdString());
        address = QByteArray::fromStdString(m_parts.Add(std::move(paths)));
    } else {
        address = m_source.front().toUtf8();
    }
    const std::optional<std::int64_t> entry =
        m_mpv.CommandForInt({"loadfile", address.constData(), "replace"}, "playlist_entry_id");
    m_entry = entry.value_or(kNoEntry);
    if (!entry)
        m_loaded = false;
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
        if (!m_lastSource.isEmpty())
            Open(m_lastSource, m_lastRecording, false);
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
    m_pendingSeek.reset();
    m_waitingForVideo = false;
    m_mpv.Command({"stop"});
}

void CGomxctrl1::Release()
{
    Stop();
    m_lastSource.clear();
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
        const mpv_event* event = Mpv().wait_event(m_mpv.get(), 0);
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
            const bool wasLoaded = m_loaded;
            m_loaded = false;
            m_fileReady = false;
            if (reachedEnd && wasLoaded)
                emit EndOfFile(0);
            break;
        }
        default:
            break;
        }
    }
}
