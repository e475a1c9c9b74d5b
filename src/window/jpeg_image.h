#pragma once
// Pictures decoded with libjpeg (the logo), independent of Qt's image plugins.

#include <QByteArray>
#include <QImage>

namespace tarnwick {

// The JPEG picture in `data` as an RGB image; a null image when the data is
// not a JPEG picture libjpeg can decode, or is larger than 4096 pixels a side.
QImage decodeJpeg(const QByteArray& data);

} // namespace tarnwick
