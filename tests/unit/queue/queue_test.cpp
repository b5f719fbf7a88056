#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "job/TThreadFileNameList.h"

namespace quillora {
namespace {

using Paths = std::vector<std::u16string>;

Paths Contents(TThreadFileNameList& queue) {
  Paths out;
  for (int32_t i = 0; i < queue.Count(); ++i)
    out.push_back(queue.Get(i));
  return out;
}

// Longer than any short-string buffer, so the queue's copies live on the heap and a view that
// outlived its string would be caught by the address sanitizer.
const std::u16string kLong =
    u"C:\\Users\\quillora\\Documents\\長いフォルダ名のあるところ\\report-2026-12-10.txt";

TEST(Queue, EmptyQueueGivesEmptyTexts) {
  TThreadFileNameList queue;
  EXPECT_TRUE(queue.IsEmpty());
  EXPECT_EQ(queue.Count(), 0);
  EXPECT_EQ(queue.PopFront(), u"");
  EXPECT_EQ(queue.Get(0), u"");
  EXPECT_EQ(queue.Get(-1), u"");
  EXPECT_TRUE(queue.IsEmpty());
}

TEST(Queue, AddFilesAppendsEachPathNotPending) {
  struct Case {
    const char* name;
    Paths pending;
    Paths added;
    Paths expected;
  };
  const Case cases[] = {
      {"twice in one list",
       {},
       {u"C:\\a.txt", u"C:\\b.txt", u"C:\\a.txt"},
       {u"C:\\a.txt", u"C:\\b.txt"}},
      {"pending path keeps its place",
       {u"C:\\a.txt", u"C:\\b.txt", u"C:\\c.txt"},
       {u"C:\\b.txt", u"C:\\d.txt"},
       {u"C:\\a.txt", u"C:\\b.txt", u"C:\\c.txt", u"C:\\d.txt"}},
      {"case differs", {u"C:\\A.txt"}, {u"C:\\a.txt"}, {u"C:\\A.txt", u"C:\\a.txt"}},
      {"no normalisation",
       {u"C:\\a.txt"},
       {u"C:/a.txt", u"C:\\.\\a.txt", u"C:\\a.txt "},
       {u"C:\\a.txt", u"C:/a.txt", u"C:\\.\\a.txt", u"C:\\a.txt "}},
      {"prefix of a pending path", {kLong}, {kLong.substr(0, 20)}, {kLong, kLong.substr(0, 20)}},
      {"long path twice", {kLong}, {kLong, kLong}, {kLong}},
      {"empty list", {u"C:\\a.txt"}, {}, {u"C:\\a.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TThreadFileNameList queue;
    queue.AddFiles(c.pending);
    queue.AddFiles(c.added);
    EXPECT_EQ(Contents(queue), c.expected);
  }
}

TEST(Queue, GetOutsideTheQueueIsEmpty) {
  TThreadFileNameList queue;
  queue.AddFiles({u"/a", u"/b"});
  for (const int32_t index : {-1, 2, 3, INT_MIN, INT_MAX}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(queue.Get(index), u"");
  }
  EXPECT_EQ(queue.Get(0), u"/a");
  EXPECT_EQ(queue.Get(1), u"/b");
}

// A path that has left the queue, by either way out, is no longer pending: adding it again
// appends it at the back. This is what breaks when the index and the sequence drift apart.
TEST(Queue, PathsThatLeftCanComeBack) {
  TThreadFileNameList queue;
  queue.AddFiles({kLong, u"/b", u"/c"});
  EXPECT_EQ(queue.PopFront(), kLong);
  queue.AddFiles({u"/c", kLong, u"/b"});
  EXPECT_EQ(Contents(queue), (Paths{u"/b", u"/c", kLong}));

  queue.Clear();
  EXPECT_EQ(queue.Count(), 0);
  EXPECT_TRUE(queue.IsEmpty());
  EXPECT_EQ(queue.PopFront(), u"");
  queue.AddFiles({u"/c", kLong, u"/c"});
  EXPECT_EQ(Contents(queue), (Paths{u"/c", kLong}));
}

TEST(Queue, PopFrontTakesInOrderUntilEmpty) {
  TThreadFileNameList queue;
  queue.AddFiles({u"/1", kLong});
  queue.AddFiles({u"/3"});
  EXPECT_EQ(queue.PopFront(), u"/1");
  EXPECT_EQ(queue.PopFront(), kLong);
  EXPECT_EQ(queue.Count(), 1);
  EXPECT_EQ(queue.PopFront(), u"/3");
  EXPECT_EQ(queue.PopFront(), u"");
  EXPECT_TRUE(queue.IsEmpty());
}

// The queue returns copies: what a caller does with a returned path or with the list it
// handed in does not reach the queue.
TEST(Queue, HoldsItsOwnCopies) {
  TThreadFileNameList queue;
  Paths list{kLong, u"/b"};
  queue.AddFiles(list);
  list[0] = u"/changed";
  std::u16string got = queue.Get(0);
  got += u"x";
  EXPECT_EQ(queue.Get(0), kLong);
  queue.AddFiles({kLong});
  EXPECT_EQ(queue.Count(), 2);
}

}  // namespace
}  // namespace quillora
