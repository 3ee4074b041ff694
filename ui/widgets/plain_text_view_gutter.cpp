// PlainTextView's line numbers: a margin left of the text that numbers the
// lines in sight, as wide as the largest number needs, and follows scrolling.
#include "plain_text_view.h"

#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>

namespace torvale {

class PlainTextView::Gutter : public QWidget {
public:
    explicit Gutter(PlainTextView* view)
        : QWidget(view), view_(view), viewport_(view->viewport()) {
        setObjectName(QStringLiteral("lineNumbers"));
        viewport_->installEventFilter(this);
        fitWidth();
        show();
    }
    // The view may be going too, its viewport first.
    ~Gutter() override {
        if (viewport_)
            viewport_->removeEventFilter(this);
    }

protected:
    // The view repaints its viewport on every scroll, text and font change:
    // the numbers follow, and the margin grows with the number of lines.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint || event->type() == QEvent::Resize) {
            if (event->type() == QEvent::Resize || width() != neededWidth())
                QMetaObject::invokeMethod(this, [this] { fitWidth(); }, Qt::QueuedConnection);
            update();
        }
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QPalette& colors = view_->palette();
        painter.fillRect(rect(), colors.color(QPalette::Window));
        painter.setFont(view_->font());
        painter.setPen(colors.color(QPalette::PlaceholderText));
        const int first = view_->firstVisibleLine();
        const int last = std::min(view_->lineCount(), first + height() / view_->lineHeight_ + 2);
        const bool signs = !view_->changeMarks_.empty();
        const int signWidth = signs ? view_->fontMetrics().horizontalAdvance(QLatin1Char('+')) + 4 : 0;
        for (int line = first; line < last; ++line) {
            const QRect row(0, (line - first) * view_->lineHeight_, width() - 6 - signWidth,
                            view_->lineHeight_);
            const int number = signs ? view_->numberOfLine(line) : line + 1;
            if (number > 0)
                painter.drawText(row, Qt::AlignRight | Qt::AlignVCenter, QString::number(number));
            if (!signs)
                continue;
            // "+" beside a line put in, "−" in place of the number of one taken out.
            for (const ChangeMark& mark : view_->changeMarks_)
                if (line >= mark.first && line < mark.first + mark.count)
                    painter.drawText(QRect(row.right(), row.top(), signWidth + 2, row.height()),
                                     Qt::AlignCenter,
                                     mark.added ? QStringLiteral("+") : QStringLiteral("\u2212"));
        }
    }

private:
    int neededWidth() const {
        int digits = 1;
        for (int count = std::max(view_->lineCount(), 999); count >= 10; count /= 10)
            ++digits;
        const int signs = view_->changeMarks_.empty() ? 0 : view_->fontMetrics().horizontalAdvance(QLatin1Char('+')) + 4;
        return digits * view_->fontMetrics().horizontalAdvance(QLatin1Char('9')) + 10 + signs;
    }
    void fitWidth() {
        const int wanted = neededWidth();
        view_->setViewportMargins(wanted, 0, 0, 0);
        // Beside the viewport, and as high: not beside the scroll bar below it.
        const QRect area = view_->viewport()->geometry();
        setGeometry(area.left() - wanted, area.top(), wanted, area.height());
        update();
    }

    PlainTextView* view_;
    QPointer<QWidget> viewport_;
};

void PlainTextView::setLineNumbersShown(bool shown) {
    if (shown == lineNumbersShown())
        return;
    if (shown) {
        gutter_ = new Gutter(this);
    } else {
        delete gutter_;
        gutter_ = nullptr;
        setViewportMargins(0, 0, 0, 0);
    }
}

} // namespace torvale
