// Draws Torvale's own pictures: the 16 px image list shared by menus, tool bars, the action tree
// and commands (each with an @2x copy that Qt picks on high-DPI screens), and the application
// icon, which serves as the window icon and is installed into the desktop's icon theme.
//
// Every list picture is drawn with paths on a 16-unit grid and scaled, so the one drawing gives
// crisp 16 and 32 px files as long as it keeps to two habits: outlined shapes have their corners
// on half units (the 1-unit outline then covers whole pixels), and unoutlined fills sit on whole
// units. The light comes from the top left; outlines are a darker shade of the fill.
//
//   draw_icons OUTDIR [--sheet FILE]
//
// writes the PNGs, the scalable application icon torvale.svg and icons.qrc into OUTDIR and, with
// --sheet, a contact sheet of the whole set at 1x and magnified, on light and dark backgrounds,
// for checking the pictures by eye (the SVG drawn back beside the PNGs).

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QSaveFile>
#include <QStringList>
#include <QSvgGenerator>
#include <QSvgRenderer>
#include <QTransform>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <utility>

namespace {

// A fill that shades from `light` at the top left to `base`, edged with `line`.
struct Ramp {
    QColor light;
    QColor base;
    QColor line;
};

const Ramp paper{"#ffffff", "#dfe5eb", "#737c86"};
const Ramp fold{"#f4f6f8", "#c3ccd5", "#737c86"};
const Ramp blue{"#94c2f2", "#3470c0", "#1b3f72"};
const Ramp green{"#a4dd82", "#3f9a2b", "#215a17"};
const Ramp red{"#f7998f", "#cf3328", "#771812"};
const Ramp amber{"#fde6a2", "#e3a93a", "#84600f"};
const Ramp folder{"#fde7a6", "#e8b243", "#84600f"};
const Ramp folderBack{"#eccb73", "#c78f25", "#84600f"};
const Ramp metal{"#f3f5f7", "#a7afb8", "#4a525b"};
const Ramp steel{"#c9cfd6", "#79838e", "#2f353b"};
const Ramp grip{"#7c8691", "#3b424a", "#1f2429"};
const Ramp board{"#dcb47c", "#a8773b", "#5c3d16"};
const Ramp teal{"#5fcad2", "#14808e", "#0a4750"};

const QColor ink{"#353b42"};
const QColor textLine{"#9aa5b1"};
const QColor white{"#ffffff"};
const QColor accent{"#1d5db0"};

// Picture colours of the three search actions, used by their lens tint and mark. The action
// tree shows these side by side, so they differ in hue first and shape second.
const QColor replaceMark = accent;
const QColor replaceGlass{"#cfe2fa"};
const QColor beforeMark{"#2a8a1c"};
const QColor beforeGlass{"#d6f0c9"};
const QColor afterMark{"#7a3cb4"};
const QColor afterGlass{"#eadcf7"};

QBrush shade(const QRectF& box, const Ramp& r) {
    QLinearGradient g(box.topLeft(), QPointF(box.left() + box.width() * 0.4, box.bottom()));
    g.setColorAt(0, r.light);
    g.setColorAt(1, r.base);
    return g;
}

void fill(QPainter& p, const QPainterPath& path, const Ramp& r, qreal width = 1.0,
          Qt::PenJoinStyle join = Qt::MiterJoin) {
    p.setPen(QPen(r.line, width, Qt::SolidLine, Qt::FlatCap, join));
    p.setBrush(shade(path.boundingRect(), r));
    p.drawPath(path);
}

QPainterPath polygon(std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

QPainterPath box(qreal x0, qreal y0, qreal x1, qreal y1) {
    QPainterPath path;
    path.addRect(QRectF(QPointF(x0, y0), QPointF(x1, y1)));
    return path;
}

QPainterPath roundBox(qreal x0, qreal y0, qreal x1, qreal y1, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(x0, y0), QPointF(x1, y1)), radius, radius);
    return path;
}

QPainterPath circle(QPointF centre, qreal radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

// The outline of a thick line, so that strokes can be filled and edged like any other shape.
QPainterPath thick(const QPainterPath& centreLine, qreal width, Qt::PenCapStyle cap = Qt::FlatCap,
                   Qt::PenJoinStyle join = Qt::MiterJoin) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(join);
    return stroker.createStroke(centreLine).simplified();
}

void lines(QPainter& p, qreal x0, qreal x1, std::initializer_list<qreal> rows,
           const QColor& c = textLine) {
    for (qreal y : rows)
        p.fillRect(QRectF(x0, y, x1 - x0, 1), c);
}

// A solid dark shape with a faint light rim, so that it does not sink into a dark tool bar.
void glyph(QPainter& p, const QPainterPath& shape, const QColor& c) {
    p.setPen(QPen(QColor(255, 255, 255, 90), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(shape);
}

// A sheet of paper with its top right corner folded down by `ear` units.
void page(QPainter& p, qreal x0, qreal y0, qreal x1, qreal y1, qreal ear, qreal width = 1.0) {
    if (ear <= 0) {
        fill(p, box(x0, y0, x1, y1), paper, width);
        return;
    }
    fill(p, polygon({{x0, y0}, {x1 - ear, y0}, {x1, y0 + ear}, {x1, y1}, {x0, y1}}), paper, width);
    fill(p, polygon({{x1 - ear, y0}, {x1 - ear, y0 + ear}, {x1, y0 + ear}}), fold, width);
}

// ---- Letters, drawn as paths so that they look the same on every machine ----

// A capital A in `frame`: apex at the top centre, feet on the bottom edge.
QPainterPath letterA(const QRectF& frame, qreal stroke) {
    const qreal cx = frame.center().x();
    const qreal below = frame.bottom() + stroke; // legs run past the foot line and are cut there
    const qreal slope = (frame.width() / 2 - stroke / 2) / frame.height();
    QPainterPath legs;
    legs.moveTo(frame.left() + stroke / 2 - slope * stroke, below);
    legs.lineTo(cx, frame.top() + stroke * 0.6);
    legs.lineTo(frame.right() - stroke / 2 + slope * stroke, below);
    const qreal barY = frame.top() + frame.height() * 0.66;
    const qreal barHalf = (barY - frame.top()) * slope;
    QPainterPath bar;
    bar.moveTo(cx - barHalf, barY);
    bar.lineTo(cx + barHalf, barY);
    QPainterPath a = thick(legs, stroke).united(thick(bar, stroke * 0.8));
    QPainterPath clip;
    clip.addRect(QRectF(frame.left() - 1, frame.top() - 1, frame.width() + 2, frame.height() + 1));
    return a.intersected(clip);
}

// A capital B in `frame`, the lower bowl a little wider than the upper one, as in most faces.
QPainterPath letterB(const QRectF& frame, qreal stroke) {
    const qreal h = stroke / 2;
    const qreal l = frame.left() + h;
    const qreal t = frame.top() + h;
    const qreal b = frame.bottom() - h;
    const qreal m = t + (b - t) * 0.46;
    const qreal upperRight = frame.right() - h - 0.6;
    const qreal lowerRight = frame.right() - h;
    QPainterPath c;
    c.moveTo(l, t);
    c.lineTo(upperRight - (m - t) / 2, t);
    c.arcTo(QRectF(upperRight - (m - t), t, m - t, m - t), 90, -180);
    c.lineTo(l, m);
    c.moveTo(l, m);
    c.lineTo(lowerRight - (b - m) / 2, m);
    c.arcTo(QRectF(lowerRight - (b - m), m, b - m, b - m), 90, -180);
    c.lineTo(l, b);
    c.moveTo(l, frame.top());
    c.lineTo(l, frame.bottom());
    return thick(c, stroke);
}

// ---- The magnifier shared by search and the three search actions ----

const QPointF lensCentre{7, 7};

// A magnifier whose glass is tinted from `glassLight` to `glassBase`; `seen` draws what the lens
// shows, clipped to the glass, in the icon's own coordinates.
void magnifier(QPainter& p, const QColor& glassLight, const QColor& glassBase,
               const std::function<void(QPainter&)>& seen = {}) {
    p.save();
    p.translate(lensCentre);
    p.rotate(45);
    QPainterPath handle;
    handle.addRoundedRect(QRectF(5.0, -1.6, 5.6, 3.2), 1.2, 1.2);
    fill(p, handle, grip, 1.0, Qt::RoundJoin);
    p.restore();

    QLinearGradient glass(QPointF(2, 2), QPointF(11, 12));
    glass.setColorAt(0, glassLight);
    glass.setColorAt(1, glassBase);
    p.setPen(Qt::NoPen);
    p.setBrush(glass);
    p.drawPath(circle(lensCentre, 5.6));

    // The gleam goes under the marks: they must stay whole to be told apart.
    QPainterPath gleam;
    gleam.arcMoveTo(QRectF(lensCentre.x() - 3.6, lensCentre.y() - 3.6, 7.2, 7.2), 105);
    gleam.arcTo(QRectF(lensCentre.x() - 3.6, lensCentre.y() - 3.6, 7.2, 7.2), 105, 60);
    p.setPen(QPen(QColor(255, 255, 255, 220), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(gleam);

    if (seen) {
        p.save();
        p.setClipPath(circle(lensCentre, 5.3));
        seen(p);
        p.restore();
    }

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(steel.base, 1.6));
    p.drawEllipse(lensCentre, 5.8, 5.8);
    p.setPen(QPen(steel.line, 0.8));
    p.drawEllipse(lensCentre, 6.6, 6.6);
}

// Marks inside the lens, on whole units because they have no outline.
void plusMark(QPainter& p, qreal centreY, const QColor& c) {
    p.fillRect(QRectF(4, centreY - 1, 6, 2), c);
    p.fillRect(QRectF(6, centreY - 3, 2, 6), c);
}

void barMark(QPainter& p, qreal top) {
    p.fillRect(QRectF(0, top, 16, 2), ink);
}

// ---- The pictures, in image list order ----

void drawEditFile(QPainter& p) {
    page(p, 1.5, 0.5, 11.5, 15.5, 3);
    lines(p, 3, 8, {3});
    lines(p, 3, 10, {5, 7, 9, 11});
    lines(p, 3, 6, {13});

    // A pencil lying from the bottom of the page up to the right, writing at its tip.
    p.save();
    p.translate(6.2, 14.6);
    p.rotate(-45);
    const qreal w = 1.9;
    fill(p, polygon({{0, 0}, {3.2, -w}, {3.2, w}}), Ramp{"#fbe7c8", "#e6c08e", ink}, 0.9,
         Qt::RoundJoin);
    p.fillRect(QRectF(-0.2, -0.6, 1.3, 1.2), ink);
    fill(p, box(3.2, -w, 9.4, w), amber, 0.9);
    p.fillRect(QRectF(3.6, -0.2, 5.4, 0.5), QColor(255, 255, 255, 110));
    fill(p, box(9.4, -w, 10.6, w), metal, 0.9);
    fill(p, roundBox(10.6, -w, 12.4, w, 0.8), Ramp{"#ffc4c0", "#e77b74", ink}, 0.9);
    p.restore();
}

void drawSearchReplace(QPainter& p) {
    magnifier(p, replaceGlass, replaceGlass.darker(108), [](QPainter& q) {
        const QPainterPath arrows = box(3, 4, 8.2, 6)
                                        .united(polygon({{8, 2}, {11, 5}, {8, 8}}))
                                        .united(box(5.8, 8, 11, 10))
                                        .united(polygon({{6, 6}, {3, 9}, {6, 12}}));
        q.setPen(Qt::NoPen);
        q.setBrush(replaceMark);
        q.drawPath(arrows);
    });
}

void drawAddBefore(QPainter& p) {
    magnifier(p, beforeGlass, beforeGlass.darker(108), [](QPainter& q) {
        plusMark(q, 5, beforeMark);
        barMark(q, 9);
    });
}

void drawAddAfter(QPainter& p) {
    magnifier(p, afterGlass, afterGlass.darker(108), [](QPainter& q) {
        barMark(q, 3);
        plusMark(q, 9, afterMark);
    });
}

QPainterPath plusShape(qreal half, qreal arm) {
    return box(8 - arm, 8 - half, 8 + arm, 8 + half)
        .united(box(8 - half, 8 - arm, 8 + half, 8 + arm));
}

void drawAddAction(QPainter& p) {
    fill(p, plusShape(6.5, 2.5), green);
}

void drawDeleteAction(QPainter& p) {
    QTransform turn;
    turn.translate(8, 8);
    turn.rotate(45);
    turn.translate(-8, -8);
    fill(p, turn.map(plusShape(7.0, 2.2)), red, 1.0, Qt::RoundJoin);
}

void drawNew(QPainter& p) {
    page(p, 2.5, 0.5, 13.5, 15.5, 4);
}

void drawOpen(QPainter& p) {
    fill(p, polygon({{0.5, 14.5}, {0.5, 2.5}, {5.5, 2.5}, {7.5, 4.5}, {13.5, 4.5}, {13.5, 14.5}}),
         folderBack);
    fill(p, box(2.5, 6.5, 11.5, 12.5), paper);
    // The front flap leans out, so the folder reads as open.
    fill(p, polygon({{3.5, 8.5}, {15.5, 8.5}, {13.5, 14.5}, {0.5, 14.5}}), folder);
}

void drawSave(QPainter& p) {
    fill(p, polygon({{1.5, 1.5}, {12.5, 1.5}, {14.5, 3.5}, {14.5, 14.5}, {1.5, 14.5}}), blue);
    fill(p, box(4.5, 1.5, 11.5, 6.5), metal);
    p.fillRect(QRectF(8, 3, 2, 3), steel.line);
    fill(p, box(3.5, 8.5, 12.5, 14.5), paper);
    lines(p, 5, 11, {10, 12}, QColor("#8fb3dc"));
}

void drawPrint(QPainter& p) {
    page(p, 3.5, 0.5, 12.5, 7.5, 0);
    lines(p, 5, 11, {2, 4});
    fill(p, roundBox(0.5, 5.5, 15.5, 12.5, 1.2), steel);
    p.fillRect(QRectF(2, 7, 12, 1), QColor(255, 255, 255, 120));
    p.fillRect(QRectF(12, 8, 2, 1), QColor("#5fe04a"));
    fill(p, box(3.5, 10.5, 12.5, 15.5), paper);
    lines(p, 5, 11, {12, 14});
}

void drawBrowse(QPainter& p) {
    fill(p, polygon({{0.5, 13.5}, {0.5, 2.5}, {5.5, 2.5}, {7.5, 4.5}, {15.5, 4.5}, {15.5, 13.5}}),
         folderBack);
    fill(p, box(0.5, 6.5, 15.5, 13.5), folder);
    for (qreal x : {3, 7, 11})
        p.fillRect(QRectF(x, 9, 2, 2), ink);
}

void drawUndo(QPainter& p) {
    QPainterPath shaft;
    shaft.moveTo(5.5, 6);
    shaft.lineTo(9.5, 6);
    shaft.arcTo(QRectF(6, 6, 7, 7), 90, -180);
    shaft.lineTo(8.5, 13);
    QPainterPath arrow = thick(shaft, 3).united(polygon({{1, 6}, {6.5, 0.5}, {6.5, 11.5}}));
    fill(p, arrow.simplified(), blue);
}

// Undo's arrow turned to point forward.
void drawRedo(QPainter& p) {
    p.translate(16, 0);
    p.scale(-1, 1);
    drawUndo(p);
}

void drawCut(QPainter& p) {
    // Each blade runs from its grip, through the pivot, to a point above the other grip.
    auto blade = [&p](QPointF heel, QPointF tip) {
        QLineF axis(heel, tip);
        const QPointF d = (tip - heel) / axis.length();
        const QPointF n(-d.y(), d.x());
        const QPointF waist = heel + d * axis.length() * 0.4;
        fill(p, polygon({heel + n * 1.2, waist + n * 1.6, tip, waist - n * 1.0, heel - n * 1.2}),
             Ramp{"#e9edf1", "#8e98a3", steel.line}, 0.9, Qt::RoundJoin);
    };
    blade({10.8, 10.2}, {3.6, 0.6});
    blade({5.2, 10.2}, {12.4, 0.6});
    p.setPen(Qt::NoPen);
    p.setBrush(steel.line);
    p.drawEllipse(QPointF(8, 6.6), 0.8, 0.8);

    for (QPointF centre : {QPointF(4.5, 12.2), QPointF(11.5, 12.2)}) {
        QPainterPath ring = circle(centre, 3.2);
        ring.addPath(circle(centre, 1.4));
        fill(p, ring, red, 1.0, Qt::RoundJoin);
    }
}

void drawCopy(QPainter& p) {
    page(p, 0.5, 0.5, 9.5, 11.5, 0);
    lines(p, 2, 8, {3, 5, 7, 9});
    page(p, 5.5, 4.5, 14.5, 15.5, 0);
    lines(p, 7, 13, {7, 9, 11, 13});
}

void drawPaste(QPainter& p) {
    fill(p, roundBox(1.5, 1.5, 12.5, 15.5, 1), board);
    fill(p, roundBox(4.5, 0.5, 9.5, 3.5, 0.8), metal);
    page(p, 6.5, 5.5, 15.5, 15.5, 0);
    lines(p, 8, 14, {8, 10, 12});
}

void drawFont(QPainter& p) {
    const QPainterPath a =
        letterA(QRectF(0.5, 1, 11, 13), 2.0).united(box(0, 13, 4, 14)).united(box(8, 13, 12, 14));
    glyph(p, a, ink);

    QPainterPath hook;
    hook.moveTo(11.2, 8.6);
    hook.cubicTo(12.0, 7.6, 14.6, 7.6, 14.6, 9.6);
    hook.lineTo(14.6, 14);
    QPainterPath bowl;
    bowl.addEllipse(QRectF(11.0, 10.6, 3.6, 3.0));
    glyph(p, thick(hook, 1.4).united(thick(bowl, 1.2)), accent);
}

void drawSearch(QPainter& p) {
    magnifier(p, QColor("#f4f9ff"), QColor("#bcd6f2"));
}

void drawReplace(QPainter& p) {
    glyph(p, letterA(QRectF(0.5, 0.5, 8, 8.5), 1.8), ink);

    // An arrow turning from under the A across to the B.
    QPainterPath turn;
    turn.moveTo(3, 9.5);
    turn.lineTo(3, 11);
    turn.quadTo(3, 13, 5, 13);
    turn.lineTo(6.5, 13);
    const QPainterPath arrow =
        thick(turn, 1.8).united(polygon({{6.2, 10.2}, {9.0, 13}, {6.2, 15.8}}));
    glyph(p, arrow.united(letterB(QRectF(10, 7.5, 5.5, 8), 1.7)), replaceMark);
}

// ---- The window icon ----

// The 16 px window icon, on the same grid as the list pictures.
void drawAppSmall(QPainter& p) {
    page(p, 2.5, 0.5, 13.5, 15.5, 3);
    lines(p, 4, 9, {2, 4});
    fill(p, roundBox(0.5, 6.5, 15.5, 14.5, 1.5), teal);
    // At this size slanted strokes smear, so the tag is set pixel by pixel, two wide.
    const int rise[] = {2, 1, 0, 1, 2};
    for (int row = 0; row < 5; ++row) {
        p.fillRect(QRectF(3 + rise[row], 8 + row, 2, 1), white);
        p.fillRect(QRectF(11 - rise[row], 8 + row, 2, 1), white);
    }
}

// The larger window icons, drawn on a 32-unit grid; `lineWidth` keeps the outline from growing
// heavy when the grid is scaled up.
void drawAppLarge(QPainter& p, qreal lineWidth) {
    page(p, 4.5, 1.5, 27.5, 30.5, 7, lineWidth);
    p.fillRect(QRectF(8, 6, 10, 1.5), textLine);
    p.fillRect(QRectF(8, 10, 14, 1.5), textLine);
    fill(p, roundBox(1.5, 14.5, 30.5, 27.5, 2.5), teal, lineWidth);
    p.fillRect(QRectF(3, 16, 26, 1), QColor(255, 255, 255, 60));

    QPainterPath tag;
    tag.moveTo(11.5, 17.5);
    tag.lineTo(6.5, 21);
    tag.lineTo(11.5, 24.5);
    tag.moveTo(20.5, 17.5);
    tag.lineTo(25.5, 21);
    tag.lineTo(20.5, 24.5);
    tag.moveTo(17.6, 17.0);
    tag.lineTo(14.4, 25.0);
    p.setPen(QPen(white, 2.4, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tag);
}

// ---- Output ----

struct Picture {
    const char* name;
    void (*draw)(QPainter&);
};

// In image list order: the window refers to these by position.
const Picture pictures[] = {
    {"edit-file", drawEditFile},
    {"search-replace", drawSearchReplace},
    {"add-before", drawAddBefore},
    {"add-after", drawAddAfter},
    {"add-action", drawAddAction},
    {"delete-action", drawDeleteAction},
    {"new", drawNew},
    {"open", drawOpen},
    {"save", drawSave},
    {"print", drawPrint},
    {"browse", drawBrowse},
    {"undo", drawUndo},
    {"cut", drawCut},
    {"copy", drawCopy},
    {"paste", drawPaste},
    {"font", drawFont},
    {"search", drawSearch},
    {"replace", drawReplace},
    {"redo", drawRedo},
};

// The sizes the desktop's icon theme asks for; all go into the window icon as well, so that the
// task switcher does not have to shrink the largest.
const int appSizes[] = {16, 32, 48, 64, 128, 256};

QImage blank(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage render(void (*draw)(QPainter&), int size) {
    QImage image = blank(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    p.end();
    return image;
}

// Draws the large icon as it looks at `size` px on any paint device.
void paintAppLarge(QPainter& p, int size) {
    p.setRenderHint(QPainter::Antialiasing);
    const qreal scale = size / 32.0;
    p.scale(scale, scale);
    // Edges thin out relative to the picture as it grows: 8 px edges at 256 px look crude.
    const qreal edgePixels = size <= 32 ? 1.0 : size <= 48 ? 1.5 : size / 56.0;
    drawAppLarge(p, edgePixels / scale);
}

QImage renderApp(int size) {
    if (size == 16)
        return render(drawAppSmall, 16);
    QImage image = blank(size);
    QPainter p(&image);
    paintAppLarge(p, size);
    p.end();
    return image;
}

// The scalable icon is the large drawing with the edges of the largest PNG: desktops scale it
// up rather than down, and the small sizes have PNGs of their own.
constexpr int svgSize = 256;

QByteArray appSvg() {
    QBuffer buffer;
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(svgSize, svgSize));
    svg.setViewBox(QRect(0, 0, svgSize, svgSize));
    svg.setTitle(QStringLiteral("Torvale"));
    svg.setDescription(QStringLiteral("Drawn by tools/icons/draw_icons; redraw it there."));
    QPainter p(&svg);
    paintAppLarge(p, svgSize);
    p.end();
    return buffer.data();
}

QImage renderSvg(const QByteArray& svg, int size) {
    QImage image = blank(size);
    QSvgRenderer renderer(svg);
    QPainter p(&image);
    renderer.render(&p);
    p.end();
    return image;
}

QString appFileName(int size) {
    return size == 16 ? QStringLiteral("torvale.png") : QStringLiteral("torvale-%1.png").arg(size);
}

bool saveBytes(const QByteArray& bytes, const QString& path) {
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit())
        return true;
    std::fprintf(stderr, "draw_icons: cannot write %s\n", qPrintable(path));
    return false;
}

bool save(const QImage& image, const QString& path) {
    if (image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG"))
        return true;
    std::fprintf(stderr, "draw_icons: cannot write %s\n", qPrintable(path));
    return false;
}

bool writeQrc(const QString& path, const QStringList& files) {
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QByteArray text = "<!DOCTYPE RCC>\n"
                      "<!-- Written by tools/icons/draw_icons: redraw the pictures there rather "
                      "than editing them. -->\n"
                      "<RCC version=\"1.0\">\n"
                      "<qresource prefix=\"/icons\">\n";
    for (const QString& f : files)
        text += "    <file>" + f.toUtf8() + "</file>\n";
    text += "</qresource>\n</RCC>\n";
    out.write(text);
    return out.commit();
}

// Every picture at 1x on three backgrounds, then magnified (1x blown up 4 times, and the @2x
// file blown up twice) so that stray half pixels show; the window icons close the sheet.
QImage contactSheet() {
    const int n = int(std::size(pictures));
    const int cell = 72;
    const QColor grounds[] = {QColor("#ffffff"), QColor("#c8ccd0"), QColor("#2f3338")};
    const int rowHeights[] = {28, 28, 28, 72, 72, 72, 72};
    int height = 0;
    for (int h : rowHeights)
        height += h;
    height += 8 + 256 + 8;
    int appRow = 8 + 16 * 8 + 8 + 256 + 8; // the magnified 16 px icon and the SVG
    for (int size : appSizes)
        appRow += 2 * (size + 8);
    QImage sheet(std::max(n * cell, appRow), height, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor("#e8e8e8"));
    QPainter p(&sheet);

    int y = 0;
    auto row = [&](int h, const QColor& ground, auto image) {
        for (int i = 0; i < n; ++i) {
            const QImage picture = image(i);
            p.fillRect(i * cell + 2, y + 2, cell - 4, h - 4, ground);
            p.drawImage(i * cell + (cell - picture.width()) / 2, y + (h - picture.height()) / 2,
                        picture);
        }
        y += h;
    };
    auto magnified = [](const QImage& image, int factor) {
        return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    };
    for (const QColor& ground : grounds)
        row(28, ground, [](int i) { return render(pictures[i].draw, 16); });
    row(72, grounds[0], [&](int i) { return magnified(render(pictures[i].draw, 16), 4); });
    row(72, grounds[1], [&](int i) { return magnified(render(pictures[i].draw, 16), 4); });
    row(72, grounds[2], [&](int i) { return magnified(render(pictures[i].draw, 16), 4); });
    row(72, grounds[0], [&](int i) { return magnified(render(pictures[i].draw, 32), 2); });

    int x = 8;
    y += 8;
    for (int size : appSizes) {
        for (const QColor& ground : {grounds[0], grounds[2]}) {
            const QImage icon = renderApp(size);
            p.fillRect(x, y, icon.width(), icon.height(), ground);
            p.drawImage(x, y, icon);
            x += icon.width() + 8;
        }
    }
    const QImage small = magnified(renderApp(16), 8);
    p.fillRect(x, y, small.width(), small.height(), grounds[0]);
    p.drawImage(x, y, small);
    x += small.width() + 8;
    const QImage scalable = renderSvg(appSvg(), 256);
    p.fillRect(x, y, scalable.width(), scalable.height(), grounds[2]);
    p.drawImage(x, y, scalable);
    p.end();
    return sheet;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first().startsWith('-') ||
        (args.size() != 1 && !(args.size() == 3 && args[1] == "--sheet"))) {
        std::fprintf(stderr, "usage: draw_icons OUTDIR [--sheet FILE]\n");
        return 2;
    }
    const QDir out(args.first());
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "draw_icons: cannot create %s\n", qPrintable(out.path()));
        return 1;
    }

    QStringList files;
    bool ok = true;
    for (const Picture& picture : pictures) {
        const QString name = QString::fromLatin1(picture.name);
        for (auto [size, file] : {std::pair{16, name + ".png"}, std::pair{32, name + "@2x.png"}}) {
            ok = save(render(picture.draw, size), out.filePath(file)) && ok;
            files << file;
        }
    }
    for (int size : appSizes) {
        ok = save(renderApp(size), out.filePath(appFileName(size))) && ok;
        files << appFileName(size);
    }
    ok = saveBytes(appSvg(), out.filePath(QStringLiteral("torvale.svg"))) && ok;
    if (!writeQrc(out.filePath("icons.qrc"), files)) {
        std::fprintf(stderr, "draw_icons: cannot write icons.qrc\n");
        ok = false;
    }
    if (args.size() == 3 && !save(contactSheet(), args[2]))
        ok = false;
    return ok ? 0 : 1;
}
