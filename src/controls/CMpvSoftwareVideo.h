#pragma once

#include <QImage>
#include <QWidget>

struct mpv_handle;
struct mpv_render_context;

// Draws the video of an mpv instance without OpenGL: libmpv's software renderer fills an image
// that is painted like any other. Slower than CMpvVideoWidget; used where OpenGL does not work.
class CMpvSoftwareVideo : public QWidget {
    Q_OBJECT
public:
    CMpvSoftwareVideo(mpv_handle* mpv, QWidget* parent);
    ~CMpvSoftwareVideo() override;

    // False when mpv refused the software renderer; nothing is drawn then.
    bool IsReady() const { return m_render != nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    mpv_render_context* m_render = nullptr;
    QImage m_frame;
};
