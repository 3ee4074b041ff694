// A splitter whose first pane keeps the width it was given while the window
// is resized or laid out, and changes only when the user drags the handle.
#pragma once

#include <QSplitter>

namespace torvale {

class SideSplitter : public QSplitter {
    Q_OBJECT

public:
    explicit SideSplitter(QWidget* parent = nullptr);

    // The width the first pane is meant to have; it may show narrower while
    // the splitter is too small for it.
    int sideWidth() const { return sideWidth_; }
    void setSideWidth(int width);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void applySideWidth();

    int sideWidth_ = 0;
};

} // namespace torvale
