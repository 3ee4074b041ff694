// The About page: the program's name with a shadow, a credit line and the version.
#pragma once

#include <QWidget>

class QLabel;

namespace torvale {

class AboutPage : public QWidget {
    Q_OBJECT

public:
    explicit AboutPage(QWidget* parent = nullptr);

    static QString creditLine();
    static QString versionLine();

    // Names the settings file in use at the foot of the page; empty for none.
    void setSettingsFile(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* settingsLine_;
};

} // namespace torvale
