#pragma once

#include "controls/MpvHandle.h"

#include <QPointer>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <optional>

// The embedded media player. It plays MPEG transport streams, MP3 files and pictures (a picture
// stays on screen), drawing video through libmpv's render API with OpenGL, or in software where
// OpenGL does not work. Under a platform without a screen (offscreen, minimal) it runs headless:
// same behaviour, no picture.
class CGomxctrl1 : public QWidget {
    Q_OBJECT
public:
    enum PlayState { kStopped = 1, kPaused = 2, kPlaying = 4 };
    enum class VideoOutput { None, OpenGL, Software };

    explicit CGomxctrl1(QWidget* parent = nullptr, int controlId = 0);
    ~CGomxctrl1() override;

    int ControlId() const { return m_controlId; }

    // Opens a media file and starts playing it.
    void SetFileName(const QString& path);
    // Holds the player paused on `path`: opens it paused, or pauses it when it is the file the
    // player holds already (so that seeking in it needs no reload). Nothing starts playing.
    void OpenPaused(const QString& path);
    // Lines up the file to play when the current one ends, so that it follows without a gap
    // (the parts of a recording). Replaces a file lined up before that has not started yet.
    void QueueNext(const QString& path);
    // The file being played (the one set, or the one lined up once the player went on to it);
    // empty while nothing plays.
    QString FileName() const { return m_loaded ? m_fileName : QString(); }
    // Jumps to a position in seconds inside the current file; `exact` goes to that very picture
    // rather than to the key frame before it.
    void SetCurrentPosition(double seconds, bool exact = false);
    // The video's frame rate as the file gives it (or as the decoder measured it); nothing before
    // a video file has loaded.
    std::optional<double> FramesPerSecond() const;
    // kPlaying (4) while a file is open and not paused.
    int GetPlayState() const;
    // Continues after Pause. After Stop, plays the file last played again from its start.
    void Resume();
    // Stops and unloads the file (and the one lined up), so the player keeps no file open.
    void Stop();
    // Stop, and forget the file last played: Resume then has nothing to play.
    void Release();
    void Pause();

    // Playback position in seconds inside the current file, when one is playing.
    std::optional<double> CurrentPosition() const;
    // True while mpv itself holds playback (its own pause property), whatever was asked of it.
    bool MpvHolds() const;
    bool IsHeadless() const { return m_output == VideoOutput::None; }
    VideoOutput Output() const { return m_output; }
    // False when libmpv could not be started; every member then does nothing.
    bool IsAvailable() const { return bool(m_mpv); }
    // How often the player went on to a lined-up file by itself.
    int QueuedStarts() const { return m_queuedStarts; }

signals:
    // The current file has finished playing. When a file was lined up, the player is already
    // playing it.
    void EndOfFile(int reason);

private:
    void StartMpv();
    void UseOpenGL();
    void UseSoftware();
    bool VideoReady() const;
    void Open(const QString& path, bool paused);
    void LoadNow(const QString& path);
    void AppendQueued();
    void ForgetQueued();
    void DrainEvents();

    int m_controlId;
    vmx::MpvHandle m_mpv;
    VideoOutput m_output = VideoOutput::None;
    QWidget* m_video = nullptr;
    std::atomic<bool> m_drainQueued{false};
    bool m_loaded = false;
    bool m_fileReady = false;
    bool m_paused = false;
    QString m_fileName;
    QString m_lastFile;
    // mpv's playlist entry of the file last handed over (kNoEntry when none or stopped), of the
    // file lined up after it, and of the file mpv started last: only their events count, a
    // replaced or stopped file's do not.
    static constexpr std::int64_t kNoEntry = -1;
    std::int64_t m_entry = kNoEntry;
    std::int64_t m_nextEntry = kNoEntry;
    std::int64_t m_startedEntry = kNoEntry;
    QString m_nextFile;
    int m_queuedStarts = 0;
    std::optional<QString> m_waitingForVideo;
    std::optional<double> m_pendingSeek;
    bool m_pendingExact = false;
};
