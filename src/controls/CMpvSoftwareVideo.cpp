#include "controls/CMpvSoftwareVideo.h"

#include <QPainter>

#include "controls/MpvApi.h"

#include <mpv/render.h>

namespace {

// Called by mpv on its own thread when a new frame is due: only queue a repaint.
void OnRenderUpdate(void* self)
{
    auto* widget = static_cast<CMpvSoftwareVideo*>(self);
    QMetaObject::invokeMethod(widget, [widget] { widget->update(); }, Qt::QueuedConnection);
}

} // namespace

CMpvSoftwareVideo::CMpvSoftwareVideo(mpv_handle* mpv, QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    char apiType[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, apiType},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv == nullptr || vmx::Mpv().render_context_create(&m_render, mpv, params) < 0) {
        m_render = nullptr;
        return;
    }
    vmx::Mpv().render_context_set_update_callback(m_render, &OnRenderUpdate, this);
}

CMpvSoftwareVideo::~CMpvSoftwareVideo()
{
    if (m_render != nullptr) {
        vmx::Mpv().render_context_set_update_callback(m_render, nullptr, nullptr);
        vmx::Mpv().render_context_free(m_render);
    }
}

void CMpvSoftwareVideo::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QSize pixels = size() * devicePixelRatioF();
    if (m_render == nullptr || pixels.isEmpty()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    if (m_frame.size() != pixels) {
        m_frame = QImage(pixels, QImage::Format_RGB32);
        m_frame.setDevicePixelRatio(devicePixelRatioF());
    }
    // Format_RGB32 keeps each pixel as the bytes blue, green, red, unused.
    int frameSize[2] = {pixels.width(), pixels.height()};
    char format[] = "bgr0";
    std::size_t stride = std::size_t(m_frame.bytesPerLine());
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, frameSize},
        {MPV_RENDER_PARAM_SW_FORMAT, format},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, m_frame.bits()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (vmx::Mpv().render_context_render(m_render, params) < 0) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawImage(QPoint(0, 0), m_frame);
}
