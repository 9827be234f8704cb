// The information icon of a page: while the mouse is over it a borderless note, sized to its
// text, shows the page's help text from the string table; it closes when the mouse leaves.
#pragma once

#include <QLabel>
#include <QPointer>

namespace quillet {

class CHelpIcon : public QLabel {
  Q_OBJECT
 public:
  CHelpIcon(unsigned textId, QWidget* parent);
  ~CHelpIcon() override;
  // The note while it is shown, else null.
  QLabel* note() const { return note_; }

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void CloseNote();
  unsigned textId_;
  QPointer<QLabel> note_;
};

}  // namespace quillet
