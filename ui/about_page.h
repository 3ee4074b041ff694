// The About page: the program's name with a shadow, a credit line and the version.
#pragma once

#include <QWidget>

namespace torvale {

class AboutPage : public QWidget {
    Q_OBJECT

public:
    explicit AboutPage(QWidget* parent = nullptr);

    static QString creditLine();
    static QString versionLine();

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace torvale
