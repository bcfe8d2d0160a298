// The Cholesky message of an engine run on a worker thread reaches the
// window thread, and the worker waits until it has been shown.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QTest>
#include <QThread>
#include <atomic>
#include <string>
#include <thread>

#include "gui/window_thread.h"

namespace quorvane {
namespace {

TEST(OnThreadOf, AMessageFromAWorkerIsShownOnTheWindowThreadWhileTheWorkerWaits) {
  QObject context;
  QThread* shownOn = nullptr;
  std::string shownText;
  std::atomic<bool> shown{false};
  std::atomic<bool> workerWentOn{false};
  bool workerWaited = false;
  const InfoMessageFn show = OnThreadOf(&context, [&](const std::string& text) {
    shownOn = QThread::currentThread();
    shownText = text;
    QTest::qWait(50);  // a box held open a while
    workerWaited = !workerWentOn;
    shown = true;
  });
  std::thread worker([&] {
    show("Not pos def 1st : sum=  -0.000000001");
    workerWentOn = true;
  });
  for (int i = 0; i < 500 && !workerWentOn; ++i) QTest::qWait(10);
  worker.join();
  EXPECT_TRUE(shown);
  EXPECT_EQ(shownOn, QCoreApplication::instance()->thread());
  EXPECT_EQ(shownText, "Not pos def 1st : sum=  -0.000000001");
  EXPECT_TRUE(workerWaited);
}

TEST(OnThreadOf, OnTheWindowThreadItShowsAtOnce) {
  QObject context;
  int calls = 0;
  OnThreadOf(&context, [&](const std::string&) { ++calls; })("text");
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace quorvane
