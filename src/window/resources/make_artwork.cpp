// Draws the window's logo (logo.jpg, 125 x 31) and the program icon
// (tarnwick.png, 128 x 128): a stylised disc with "HD" lettering.
//   tarnwick-make-artwork <resources folder>

#include <QConicalGradient>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

#include <jpeglib.h>

namespace {

// A silver disc with a rainbow sheen and a clear centre hole.
void drawDisc(QPainter& p, QPointF centre, double radius) {
    QConicalGradient sheen(centre, 30);
    const QColor stops[] = {QColor(210, 214, 222), QColor(150, 200, 255), QColor(240, 240, 250),
                            QColor(255, 200, 140), QColor(200, 205, 215), QColor(170, 255, 210),
                            QColor(210, 214, 222)};
    for (int k = 0; k < 7; ++k)
        sheen.setColorAt(k / 6.0, stops[k]);
    p.setPen(QPen(QColor(90, 95, 110), radius / 14));
    p.setBrush(sheen);
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(QColor(255, 255, 255, 90), radius / 30));
    p.setBrush(Qt::NoBrush);
    for (double r : {0.82, 0.64, 0.46})
        p.drawEllipse(centre, radius * r, radius * r);
    p.setPen(QPen(QColor(90, 95, 110), radius / 20));
    p.setBrush(QColor(235, 238, 245));
    p.drawEllipse(centre, radius * 0.3, radius * 0.3);
    p.setBrush(QColor(20, 28, 60));
    p.drawEllipse(centre, radius * 0.12, radius * 0.12);
}

void drawText(QPainter& p, const QRectF& box, const QString& text, int pixelSize,
              const QBrush& fill, const QColor& outline, double outlineWidth) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(pixelSize);
    font.setLetterSpacing(QFont::PercentageSpacing, 104);
    QPainterPath path;
    const QFontMetricsF metrics(font);
    const double x = box.left() + (box.width() - metrics.horizontalAdvance(text)) / 2;
    const double y = box.top() + (box.height() + metrics.capHeight()) / 2;
    path.addText(QPointF(x, y), font, text);
    p.setPen(QPen(outline, outlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(path);
}

QImage logo() {
    QImage image(125, 31, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 31);
    sky.setColorAt(0, QColor(28, 44, 98));
    sky.setColorAt(1, QColor(8, 12, 34));
    p.fillRect(image.rect(), sky);
    drawDisc(p, QPointF(16, 15.5), 13);
    QLinearGradient chrome(0, 6, 0, 26);
    chrome.setColorAt(0, QColor(255, 255, 255));
    chrome.setColorAt(0.55, QColor(196, 208, 230));
    chrome.setColorAt(1, QColor(140, 160, 200));
    drawText(p, QRectF(33, 2, 90, 27), QStringLiteral("HD DVD"), 19, chrome, QColor(10, 16, 40),
             1.2);
    p.setPen(QColor(120, 150, 220));
    p.drawLine(QPointF(36, 28.5), QPointF(120, 28.5));
    return image;
}

QImage icon() {
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawDisc(p, QPointF(64, 64), 60);
    QRectF band(6, 40, 116, 48);
    QLinearGradient blue(0, band.top(), 0, band.bottom());
    blue.setColorAt(0, QColor(40, 64, 140, 235));
    blue.setColorAt(1, QColor(12, 20, 60, 235));
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawRoundedRect(band, 10, 10);
    drawText(p, band, QStringLiteral("HD"), 42, QBrush(QColor(245, 248, 255)), QColor(10, 16, 40),
             2.5);
    return image;
}

bool writeJpeg(const QImage& picture, const char* path) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    std::FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = static_cast<JDIMENSION>(rgb.width());
    info.image_height = static_cast<JDIMENSION>(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 92, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uchar*>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarnwick-make-artwork <resources folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const bool ok = writeJpeg(logo(), QString(folder + "/logo.jpg").toLocal8Bit().constData()) &&
                    icon().save(folder + "/tarnwick.png", "PNG");
    return ok ? 0 : 1;
}
