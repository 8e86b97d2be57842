#pragma once

#include <QOpenGLWidget>

struct mpv_handle;
struct mpv_render_context;

// Draws the video of an mpv instance through libmpv's render API.
class CMpvVideoWidget : public QOpenGLWidget {
    Q_OBJECT
public:
    CMpvVideoWidget(mpv_handle* mpv, QWidget* parent);
    ~CMpvVideoWidget() override;

    // True once the render context exists: mpv can then open files with video.
    bool IsReady() const { return m_render != nullptr; }

signals:
    void ready();
    // OpenGL does not work here after all: no context, or mpv cannot draw with it.
    void unavailable();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    mpv_handle* m_mpv;
    mpv_render_context* m_render = nullptr;
};
