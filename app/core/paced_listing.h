// Lines of a long lookup loop, put on the screen at a human pace.
//
// The address search and the ZIP+4 examination can list tens of thousands of
// records. Finding one takes the engine microseconds; adding its line,
// writing the counters and repainting the window for each one took a
// hundred times longer. So a loop hands its lines to a PacedListing, which
// keeps them until the screen is due for a refresh, then appends them to the
// list in one go; the loop writes its counters at those refreshes only.
// A refresh is due at most every kRefreshMilliseconds, and at once for each
// line while the list does not fill its view yet: the first lines show
// without delay.
//
// The loop still lets the event loop run after every record (yield), which
// costs little while nothing on the screen has changed: Cancel and a click
// on a line take effect between two records, as before. A search stopped
// that way keeps the lines the user saw when acting (discard the rest), so
// a click never sees the list grow under it.
#pragma once

#include <QElapsedTimer>

#include <vector>

class QListWidget;
class QListWidgetItem;

namespace corvellan {

// 25 refreshes a second at most.
inline constexpr int kRefreshMilliseconds = 40;

class PacedListing {
 public:
  explicit PacedListing(QListWidget* list);
  // Lines still waiting are discarded.
  ~PacedListing();
  PacedListing(const PacedListing&) = delete;
  PacedListing& operator=(const PacedListing&) = delete;

  // Keeps a line (the listing owns it until it is flushed).
  void add(QListWidgetItem* item);
  // Lines in the list and waiting to be added.
  int count() const;
  int waiting() const { return static_cast<int>(waiting_.size()); }
  // Whether the screen is due for a refresh: the refresh time has passed,
  // or lines wait and the list does not fill its view yet.
  bool due() const;
  // Appends the waiting lines to the list; the time to the next refresh
  // starts again. Returns how many lines were added.
  int flush();
  // Drops the waiting lines.
  void discard();
  // Lets the event loop run once (paint, Cancel, clicks).
  static void yield();

 private:
  QListWidget* list_;
  std::vector<QListWidgetItem*> waiting_;
  QElapsedTimer clock_;
  int firstScreen_ = 0;
};

}  // namespace corvellan
