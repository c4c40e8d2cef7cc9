#pragma once

#include <QDialog>
#include <QImage>
#include <QList>

class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTimer;

// Paints the current frame of the About box's animation.
class LogoPaintBox : public QWidget
{
    Q_OBJECT

public:
    explicit LogoPaintBox(QWidget *parent = nullptr);
    void setFrame(const QImage *frame);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const QImage *m_frame = nullptr;
};

class TformAbout : public QDialog
{
    Q_OBJECT

public:
    explicit TformAbout(QWidget *parent = nullptr);
    ~TformAbout() override;

    QTabWidget *tnbkInfo = nullptr;
    QFrame *pnlLogo = nullptr;
    LogoPaintBox *pbxLogo = nullptr;
    QLabel *lblProgName = nullptr;
    QLabel *lblVersion = nullptr;
    QListWidget *lbProgrammers = nullptr;
    QLabel *lblWinDir = nullptr;
    QLabel *lblSysDir = nullptr;
    QPushButton *btnOk = nullptr;
    QTimer *tmAnimation = nullptr;

    // -1 before the first tick, then 0 to 14.
    int frameIndex() const { return m_frameIndex; }
    const QList<QImage> &frames() const { return m_frames; }

    void FormCreate();
    void FormShow();
    void tmAnimationTimer();
    void btnOkClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildDevelopmentPage();
    QWidget *buildSystemPage();

    QList<QImage> m_frames;
    int m_frameIndex = -1;
};
