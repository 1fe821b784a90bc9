#pragma once

#include <QDialog>

// A sheet over the console window: modal to that window only, holding one section's content. Closing it by
// Escape or the window's close button emits closedByUser, so the owner can clear the flag that showed it.
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

  private:
    QWidget* m_content;
};
