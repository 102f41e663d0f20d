#include "logo.h"

#include <QImage>

#include <future>

namespace {

const char logoPath[] = ":/res/Quorvella_logo_h.png";

std::future<QImage> &decoding()
{
    static std::future<QImage> result;
    return result;
}

// What the label would get from QPixmap(path): the decoded image, already
// in the pixel format that a pixmap with alpha takes.
QImage decode()
{
    const QImage image(QString::fromLatin1(logoPath));
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

} // namespace

void Logo::startDecoding()
{
    decoding() = std::async(std::launch::async, decode);
}

QPixmap Logo::pixmap()
{
    std::future<QImage> &background = decoding();
    return QPixmap::fromImage(background.valid() ? background.get() : decode());
}
