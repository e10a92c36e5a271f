#pragma once
// The start-up window: the step being done and a progress bar.
#include <QWidget>

class QLabel;
class QProgressBar;

class frmSplash : public QWidget
{
    Q_OBJECT
public:
    explicit frmSplash(QWidget *parent = nullptr);

    // Shows the step's text and progress (0 to 100, halves allowed).
    void setStep(const QString &text, double progress);
    void setProgress(double progress);
    double progress() const { return m_progress; }
    QString message() const;

signals:
    void progressChanged(double progress);

private:
    QLabel *m_message;
    QProgressBar *m_bar;
    double m_progress = 0;
};
