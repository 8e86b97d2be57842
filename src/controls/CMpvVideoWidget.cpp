#include "controls/CMpvVideoWidget.h"

#include <QOpenGLContext>

#include "controls/MpvApi.h"

#include <mpv/render_gl.h>

namespace {

void* GetProcAddress(void*, const char* name)
{
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context != nullptr ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

// Called by mpv on its own thread when a new frame is due: only queue a repaint.
void OnRenderUpdate(void* self)
{
    auto* widget = static_cast<CMpvVideoWidget*>(self);
    QMetaObject::invokeMethod(widget, [widget] { widget->update(); }, Qt::QueuedConnection);
}

} // namespace

CMpvVideoWidget::CMpvVideoWidget(mpv_handle* mpv, QWidget* parent)
    : QOpenGLWidget(parent)
    , m_mpv(mpv)
{
}

CMpvVideoWidget::~CMpvVideoWidget()
{
    if (m_render != nullptr) {
        makeCurrent();
        vmx::Mpv().render_context_set_update_callback(m_render, nullptr, nullptr);
        vmx::Mpv().render_context_free(m_render);
        doneCurrent();
    }
}

void CMpvVideoWidget::initializeGL()
{
    if (m_render != nullptr || m_mpv == nullptr)
        return;
    if (context() == nullptr || !context()->isValid()) {
        emit unavailable();
        return;
    }
    mpv_opengl_init_params glInit{&GetProcAddress, nullptr};
    char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, apiType},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (vmx::Mpv().render_context_create(&m_render, m_mpv, params) < 0) {
        m_render = nullptr;
        emit unavailable();
        return;
    }
    vmx::Mpv().render_context_set_update_callback(m_render, &OnRenderUpdate, this);
    emit ready();
}

void CMpvVideoWidget::paintGL()
{
    if (m_render == nullptr)
        return;
    const qreal ratio = devicePixelRatioF();
    mpv_opengl_fbo fbo{int(defaultFramebufferObject()), int(width() * ratio), int(height() * ratio), 0};
    int flipY = 1;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &flipY},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    vmx::Mpv().render_context_render(m_render, params);
}
