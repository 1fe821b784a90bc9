#pragma once

#include <QDialog>

// A sheet over the console window: modal to that window only, holding one section's content. Closing it by
// Escape or the window's close button emits closedByUser, so the owner can clear the flag that showed it. While it
// is open, the window it covers passes the keyboard on to it whenever it becomes the active window again (after the
// operator worked in another window), so Escape and the sheet's shortcuts keep working.
class ConsoleSheet : public QDialog
{
    Q_OBJECT
  public:
    // A width of 0 lets the content decide.
    ConsoleSheet(QWidget* content, int width, QWidget* window);

    QWidget* content() const { return m_content; }

  signals:
    void closedByUser();

  protected:
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* m_content;
};
