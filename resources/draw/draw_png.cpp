// Draws every image of the front panel into resources/png and writes the resource list
// resources/krx.qrc. Run it by hand after changing a drawing (the images are committed):
//
//     build/krx_draw_png <source folder>/resources
//
// The panel is 320 x 240 on a dark background (rgb 16, 16, 28), so the pictures are light
// shapes on a transparent ground unless they stand for something full-screen.
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QColor kWhite(255, 255, 255);
const QColor kGrey(140, 140, 150);
const QColor kGreen(0, 214, 91);
const QColor kOrange(255, 171, 84);
const QColor kRed(230, 50, 50);
const QColor kYellow(255, 200, 0);
const QColor kPanel(33, 36, 53);
const QColor kBlue(60, 140, 255);

using Draw = std::function<void(QPainter&, int w, int h)>;

struct Picture {
    QString name;
    int width;
    int height;
    Draw draw;
};

QFont font(int pixels, bool bold = true, const char* family = "DejaVu Sans") {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

void text(QPainter& p, const QRectF& box, const QString& s, int pixels, const QColor& colour,
          const char* family = "DejaVu Sans") {
    p.setPen(colour);
    p.setFont(font(pixels, true, family));
    p.drawText(box, Qt::AlignCenter, s);
}

// A video connector: HDMI is a trapezoid, DVI a wide body with pin rows.
void connector(QPainter& p, int w, int h, const QString& label, const QString& version,
               const QColor& colour) {
    p.setPen(QPen(colour, 2));
    p.setBrush(Qt::NoBrush);
    const qreal top = 2, bottom = h * 0.55;
    QPolygonF body;
    if (label == "DVI") {
        body << QPointF(3, top) << QPointF(w - 3, top) << QPointF(w - 6, bottom)
             << QPointF(6, bottom);
        p.drawPolygon(body);
        for (int i = 0; i < 8; ++i)
            p.drawPoint(QPointF(9 + i * (w - 18) / 7.0, top + (bottom - top) / 2));
    } else {
        body << QPointF(3, top) << QPointF(w - 3, top) << QPointF(w - 3, bottom - 5)
             << QPointF(w - 10, bottom) << QPointF(10, bottom) << QPointF(3, bottom - 5);
        p.drawPolygon(body);
        p.drawLine(QPointF(10, top + 6), QPointF(w - 10, top + 6));
    }
    QString caption = version.isEmpty() ? label : label + " " + version;
    text(p, QRectF(0, bottom, w, h - bottom), caption, h * 0.3, colour);
}

// An RJ45 network port, the link state of an output port.
void port(QPainter& p, int w, int h, const QColor& colour) {
    p.setPen(QPen(colour.darker(130), 1));
    p.setBrush(colour);
    QPolygonF shape;
    shape << QPointF(1, 1) << QPointF(w - 1, 1) << QPointF(w - 1, h * 0.7)
          << QPointF(w * 0.7, h * 0.7) << QPointF(w * 0.7, h - 1) << QPointF(w * 0.3, h - 1)
          << QPointF(w * 0.3, h * 0.7) << QPointF(1, h * 0.7);
    p.drawPolygon(shape);
    p.setPen(QPen(QColor(16, 16, 28), std::max(1, w / 16)));
    for (int i = 1; i <= 4; ++i) {
        qreal x = w * (0.15 + 0.14 * i);
        p.drawLine(QPointF(x, 3), QPointF(x, h * 0.35));
    }
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour, qreal width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    qreal angle = std::atan2(to.y() - from.y(), to.x() - from.x());
    qreal head = width * 3;
    QPolygonF tip;
    tip << to << to - QPointF(head * std::cos(angle - 0.5), head * std::sin(angle - 0.5))
        << to - QPointF(head * std::cos(angle + 0.5), head * std::sin(angle + 0.5));
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawPolygon(tip);
}

void triangle(QPainter& p, int w, int h, bool left) {
    p.setPen(Qt::NoPen);
    p.setBrush(kWhite);
    QPolygonF t;
    if (left)
        t << QPointF(w - 2, 1) << QPointF(w - 2, h - 1) << QPointF(2, h / 2.0);
    else
        t << QPointF(2, 1) << QPointF(2, h - 1) << QPointF(w - 2, h / 2.0);
    p.drawPolygon(t);
}

// One of the sixteen ways a receiving-card chain can run through a 4 x 3 wall of
// cabinets: from one of the four corners, first along a row or a column, either as a snake
// (turning back at each end) or as a comb (returning to the same side each time).
void route(QPainter& p, int w, int h, int way) {
    const int cols = 4, rows = 3;
    int corner = way % 4;  // 0 top left, 1 top right, 2 bottom left, 3 bottom right
    bool vertical = (way / 4) % 2 == 1;
    bool snake = way < 8;
    auto centre = [&](int c, int r) { return QPointF((c + 0.5) * w / cols, (r + 0.5) * h / rows); };
    std::vector<QPointF> path;
    int lines = vertical ? cols : rows;
    int along = vertical ? rows : cols;
    for (int l = 0; l < lines; ++l) {
        for (int a = 0; a < along; ++a) {
            int step = (snake && l % 2 == 1) ? along - 1 - a : a;
            int c = vertical ? l : step;
            int r = vertical ? step : l;
            if (corner == 1 || corner == 3)
                c = cols - 1 - c;
            if (corner == 2 || corner == 3)
                r = rows - 1 - r;
            path.push_back(centre(c, r));
        }
    }
    p.setPen(QPen(kPanel.lighter(160), 1));
    for (int c = 0; c < cols; ++c)
        for (int r = 0; r < rows; ++r)
            p.drawRect(QRectF(c * w / qreal(cols) + 0.5, r * h / qreal(rows) + 0.5,
                              w / qreal(cols) - 1, h / qreal(rows) - 1));
    p.setPen(QPen(kWhite, 1.4));
    for (size_t i = 1; i + 1 < path.size(); ++i)
        p.drawLine(path[i - 1], path[i]);
    arrow(p, path[path.size() - 2], path.back(), kWhite, 1.4);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(path.front(), 2.5, 2.5);
}

void testPattern(QPainter& p, int w, int h, int which) {
    static const QColor solid[] = {Qt::red, Qt::green, Qt::blue, Qt::white, Qt::black};
    p.setPen(Qt::NoPen);
    if (which < 5) {
        p.setBrush(solid[which]);
        p.drawRect(0, 0, w, h);
    } else if (which == 5) {
        static const QColor bars[] = {Qt::white,   Qt::yellow, Qt::cyan, Qt::green,
                                      Qt::magenta, Qt::red,    Qt::blue, Qt::black};
        for (int i = 0; i < 8; ++i) {
            p.setBrush(bars[i]);
            p.drawRect(QRectF(i * w / 8.0, 0, w / 8.0 + 1, h));
        }
    } else {
        p.setBrush(Qt::black);
        p.drawRect(0, 0, w, h);
        p.setPen(QPen(Qt::white, 2));
        if (which == 6)
            for (int x = 3; x < w; x += 6)
                p.drawLine(x, 0, x, h);
        else
            for (int y = 3; y < h; y += 6)
                p.drawLine(0, y, w, y);
    }
    p.setPen(QPen(kGrey, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, w - 1, h - 1);
}

void keyCap(QPainter& p, QRectF box, const QString& s) {
    p.setPen(QPen(kWhite, 1));
    p.setBrush(kPanel);
    p.drawRoundedRect(box, 3, 3);
    text(p, box, s, box.height() * 0.62, kWhite);
}

void gear(QPainter& p, QPointF c, qreal r, const QColor& colour) {
    QPainterPath path;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        qreal a0 = i * M_PI / teeth, a1 = (i + 1) * M_PI / teeth;
        qreal rr = (i % 2 == 0) ? r : r * 0.78;
        QPointF p0 = c + QPointF(rr * std::cos(a0), rr * std::sin(a0));
        QPointF p1 = c + QPointF(rr * std::cos(a1), rr * std::sin(a1));
        if (i == 0)
            path.moveTo(p0);
        else
            path.lineTo(p0);
        path.lineTo(p1);
    }
    path.closeSubpath();
    path.addEllipse(c, r * 0.35, r * 0.35);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.setRenderHint(QPainter::Antialiasing);
    path.setFillRule(Qt::OddEvenFill);
    p.drawPath(path);
}

// An LED wall: a grid of lit pixels.
void ledWall(QPainter& p, QRectF box, const QColor& colour) {
    p.setPen(QPen(kWhite, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (qreal x = box.left() + 4; x < box.right() - 2; x += 6)
        for (qreal y = box.top() + 4; y < box.bottom() - 2; y += 6)
            p.drawEllipse(QPointF(x, y), 1.5, 1.5);
}

void usbStick(QPainter& p, int w, int h) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(w * 0.3, h * 0.35, w * 0.4, h * 0.6), 4, 4);
    p.setBrush(kGrey);
    p.drawRect(QRectF(w * 0.36, h * 0.08, w * 0.28, h * 0.28));
    p.setBrush(QColor(16, 16, 28));
    p.drawRect(QRectF(w * 0.41, h * 0.14, w * 0.06, h * 0.07));
    p.drawRect(QRectF(w * 0.53, h * 0.14, w * 0.06, h * 0.07));
}

std::vector<Picture> pictures() {
    std::vector<Picture> list;
    auto add = [&](const QString& name, int w, int h, Draw d) { list.push_back({name, w, h, d}); };

    // Input sources: neutral, offline and online ("lv": green) pictures.
    add("DVI", 48, 32, [](QPainter& p, int w, int h) { connector(p, w, h, "DVI", "", kGrey); });
    add("dvilv", 48, 32, [](QPainter& p, int w, int h) { connector(p, w, h, "DVI", "", kGreen); });
    add("HDMI13", 48, 32,
        [](QPainter& p, int w, int h) { connector(p, w, h, "HDMI", "1.3", kWhite); });
    add("HDMI13_1", 48, 32,
        [](QPainter& p, int w, int h) { connector(p, w, h, "HDMI", "1.3", kGrey); });
    add("HDMI13_lv", 48, 32,
        [](QPainter& p, int w, int h) { connector(p, w, h, "HDMI", "1.3", kGreen); });
    add("HDMI20", 48, 32,
        [](QPainter& p, int w, int h) { connector(p, w, h, "HDMI", "2.0", kGrey); });
    add("HDMI20_lv", 48, 32,
        [](QPainter& p, int w, int h) { connector(p, w, h, "HDMI", "2.0", kGreen); });

    // Key hints under the menus.
    add("OK_Enter", 80, 16, [](QPainter& p, int, int h) {
        keyCap(p, QRectF(1, 1, 26, h - 2), "OK");
        text(p, QRectF(28, 0, 52, h), "Enter", h * 0.7, kWhite);
    });
    add("back_return", 56, 16, [](QPainter& p, int, int h) {
        keyCap(p, QRectF(1, 1, 16, h - 2), QString::fromUtf8("\u21A9"));
        text(p, QRectF(18, 0, 38, h), "Back", h * 0.7, kWhite);
    });
    add("back", 32, 32, [](QPainter& p, int w, int h) {
        arrow(p, QPointF(w - 5, h / 2.0), QPointF(5, h / 2.0), kWhite, 3);
    });

    add("button_on", 40, 20, [](QPainter& p, int w, int h) {
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawRoundedRect(QRectF(0, 0, w, h), h / 2.0, h / 2.0);
        p.setBrush(kWhite);
        p.drawEllipse(QPointF(w - h / 2.0, h / 2.0), h / 2.0 - 2, h / 2.0 - 2);
    });
    add("button_off", 40, 20, [](QPainter& p, int w, int h) {
        p.setPen(Qt::NoPen);
        p.setBrush(kGrey);
        p.drawRoundedRect(QRectF(0, 0, w, h), h / 2.0, h / 2.0);
        p.setBrush(kWhite);
        p.drawEllipse(QPointF(h / 2.0, h / 2.0), h / 2.0 - 2, h / 2.0 - 2);
    });

    add("check_180", 180, 180, [](QPainter& p, int w, int h) {
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawEllipse(QRectF(6, 6, w - 12, h - 12));
        p.setPen(QPen(kWhite, 16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPolygonF tick;
        tick << QPointF(w * 0.27, h * 0.52) << QPointF(w * 0.44, h * 0.68)
             << QPointF(w * 0.74, h * 0.36);
        p.drawPolyline(tick);
    });

    // Captions of the device-information screen.
    add("version_state", 80, 24, [](QPainter& p, int w, int h) {
        text(p, QRectF(0, 0, w, h), QString::fromUtf8("版本信息"), 16, kWhite,
             "WenQuanYi Micro Hei");
    });
    add("en_version_state", 80, 24,
        [](QPainter& p, int w, int h) { text(p, QRectF(0, 0, w, h), "Version", 15, kWhite); });
    add("output_state", 80, 24, [](QPainter& p, int, int h) {
        ledWall(p, QRectF(2, 3, 22, h - 6), kGreen);
        arrow(p, QPointF(26, h / 2.0), QPointF(38, h / 2.0), kOrange, 2);
        text(p, QRectF(38, 0, 42, h), "OUT", 12, kWhite);
    });
    add("input_state", 80, 24, [](QPainter& p, int, int h) {
        arrow(p, QPointF(2, h / 2.0), QPointF(14, h / 2.0), kOrange, 2);
        p.translate(15, 0);
        connector(p, 26, h, "HDMI", "", kWhite);
        p.resetTransform();
        text(p, QRectF(42, 0, 38, h), "IN", 12, kWhite);
    });

    // Test patterns of the video processor.
    for (int i = 0; i < 8; ++i)
        add(QString("img_test%1").arg(i + 1), 60, 40,
            [i](QPainter& p, int w, int h) { testPattern(p, w, h, i); });

    // Receiving-card routing ways of the smart set-up.
    for (int i = 0; i < 16; ++i)
        add(QString("line%1").arg(i + 1), 40, 25,
            [i](QPainter& p, int w, int h) { route(p, w, h, i); });

    add("ltri", 14, 14, [](QPainter& p, int w, int h) { triangle(p, w, h, true); });
    add("rtri", 14, 14, [](QPainter& p, int w, int h) { triangle(p, w, h, false); });
    add("previous", 20, 20, [](QPainter& p, int w, int h) {
        arrow(p, QPointF(w / 2.0, h - 3), QPointF(w / 2.0, 3), kWhite, 2.5);
    });
    add("next", 20, 20, [](QPainter& p, int w, int h) {
        arrow(p, QPointF(w / 2.0, 3), QPointF(w / 2.0, h - 3), kWhite, 2.5);
    });

    // Output-port links.
    add("online", 16, 14, [](QPainter& p, int w, int h) { port(p, w, h, kGreen); });
    add("offline", 16, 14, [](QPainter& p, int w, int h) { port(p, w, h, kGrey); });
    add("online_up", 32, 28, [](QPainter& p, int w, int h) { port(p, w, h, kGreen); });
    add("offline_up", 32, 28, [](QPainter& p, int w, int h) { port(p, w, h, kGrey); });

    add("warning", 16, 16, [](QPainter& p, int w, int h) {
        p.setPen(Qt::NoPen);
        p.setBrush(kYellow);
        QPolygonF t;
        t << QPointF(w / 2.0, 0.5) << QPointF(w - 0.5, h - 0.5) << QPointF(0.5, h - 0.5);
        p.drawPolygon(t);
        text(p, QRectF(0, 3, w, h - 3), "!", 11, Qt::black);
    });

    // Entries of the main window, the Setting menu and the output menu.
    add("machinestate", 36, 36, [](QPainter& p, int w, int h) {
        p.setPen(QPen(kWhite, 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(3, 3, w - 6, h - 6));
        text(p, QRectF(0, 1, w, h), "i", 22, kWhite, "DejaVu Serif");
    });
    add("usermode", 36, 36, [](QPainter& p, int, int) {
        p.setBrush(kPanel);
        for (int i = 2; i >= 0; --i) {
            p.setPen(QPen(i == 0 ? kOrange : kWhite, 2));
            p.drawRoundedRect(QRectF(3 + i * 5, 12 - i * 4, 22, 18), 2, 2);
        }
        text(p, QRectF(3, 12, 22, 18), "M", 12, kOrange);
    });
    add("setting", 36, 36,
        [](QPainter& p, int w, int h) { gear(p, QPointF(w / 2.0, h / 2.0), 16, kWhite); });
    add("output", 36, 36, [](QPainter& p, int, int h) {
        ledWall(p, QRectF(2, 6, 22, h - 12), kGreen);
        arrow(p, QPointF(25, h / 2.0), QPointF(35, h / 2.0), kOrange, 2);
    });
    add("linkoption", 36, 36, [](QPainter& p, int, int) {
        port(p, 16, 14, kWhite);
        p.translate(18, 20);
        port(p, 16, 14, kWhite);
        p.resetTransform();
        p.setPen(QPen(kOrange, 2));
        p.drawLine(QPointF(8, 16), QPointF(8, 26));
        p.drawLine(QPointF(8, 26), QPointF(18, 26));
    });
    add("imagequality", 36, 36, [](QPainter& p, int w, int h) {
        QRectF disc(5, 5, w - 10, h - 10);
        p.setPen(QPen(kWhite, 2));
        p.setBrush(kWhite);
        p.drawPie(disc, 90 * 16, 180 * 16);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(disc);
    });
    add("advancedoption", 36, 36, [](QPainter& p, int w, int h) {
        gear(p, QPointF(w * 0.4, h * 0.4), 12, kWhite);
        gear(p, QPointF(w * 0.72, h * 0.72), 8, kOrange);
    });
    add("test_chart", 36, 36, [](QPainter& p, int w, int h) {
        p.translate(3, 6);
        testPattern(p, w - 6, h - 12, 5);
    });
    add("smartmapping", 36, 36, [](QPainter& p, int w, int h) {
        p.translate(2, 6);
        route(p, w - 4, h - 12, 0);
    });
    add("ledset", 36, 36, [](QPainter& p, int w, int h) {
        ledWall(p, QRectF(6, 6, w - 12, h - 12), kGreen);
        arrow(p, QPointF(w / 2.0, h - 3), QPointF(w - 2, h - 3), kOrange, 1.5);
        arrow(p, QPointF(w - 3, h / 2.0), QPointF(w - 3, h - 2), kOrange, 1.5);
    });
    add("netset", 36, 36, [](QPainter& p, int, int) {
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j) {
                p.translate(2 + i * 17, 4 + j * 16);
                port(p, 15, 13, j == 0 ? kGreen : kWhite);
                p.resetTransform();
            }
    });
    add("lock", 16, 16, [](QPainter& p, int w, int h) {
        p.setPen(QPen(kOrange, 2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(4, 1, w - 8, 10), 0, 180 * 16);
        p.drawLine(QPointF(4, 6), QPointF(4, 8));
        p.drawLine(QPointF(w - 4, 6), QPointF(w - 4, 8));
        p.setPen(Qt::NoPen);
        p.setBrush(kOrange);
        p.drawRect(QRectF(2, 7, w - 4, h - 8));
    });
    add("usb", 48, 48, [](QPainter& p, int w, int h) { usbStick(p, w, h); });
    return list;
}

bool writeQrc(const QString& folder, const std::vector<Picture>& list) {
    QFile qrc(folder + "/krx.qrc");
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&qrc);
    out << "<RCC>\n    <qresource prefix=\"/\">\n";
    for (const Picture& pic : list)
        out << "        <file>png/" << pic.name << ".png</file>\n";
    out << "    </qresource>\n</RCC>\n";
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder + "/png");
    const std::vector<Picture> list = pictures();
    for (const Picture& pic : list) {
        QImage image(pic.width, pic.height, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        pic.draw(painter, pic.width, pic.height);
        painter.end();
        if (!image.save(folder + "/png/" + pic.name + ".png")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(pic.name));
            return 1;
        }
    }
    if (!writeQrc(folder, list)) {
        std::fprintf(stderr, "cannot write the resource list\n");
        return 1;
    }
    std::printf("%zu images written\n", list.size());
    return 0;
}
