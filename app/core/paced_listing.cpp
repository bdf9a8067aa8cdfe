#include "core/paced_listing.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QListWidget>

#include <algorithm>

namespace corvellan {

PacedListing::PacedListing(QListWidget* list) : list_(list) {
  // The lines the view shows at most: no line is lower than the font's line
  // spacing.
  const int rowHeight = std::max(1, QFontMetrics(list->font()).lineSpacing());
  firstScreen_ = list->viewport()->height() / rowHeight + 1;
  clock_.start();
}

PacedListing::~PacedListing() { discard(); }

void PacedListing::add(QListWidgetItem* item) { waiting_.push_back(item); }

int PacedListing::count() const { return list_->count() + waiting(); }

bool PacedListing::due() const {
  return clock_.elapsed() >= kRefreshMilliseconds || (!waiting_.empty() && list_->count() < firstScreen_);
}

int PacedListing::flush() {
  const int added = waiting();
  // The view lays the new lines out and repaints once, at the next turn of
  // the event loop.
  for (QListWidgetItem* item : waiting_) list_->addItem(item);
  waiting_.clear();
  clock_.restart();
  return added;
}

void PacedListing::discard() {
  for (QListWidgetItem* item : waiting_) delete item;
  waiting_.clear();
}

void PacedListing::yield() { QCoreApplication::processEvents(); }

}  // namespace corvellan
