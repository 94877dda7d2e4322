#include "platform/system/MessageBox.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/system/CodePage.h"
#include "tests/support/MessageRecorder.h"

namespace {

using namespace platform;

// Puts back whatever presenter and code page a test started with.
class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedCodePage_ = GetACP();
    saved_ = setMessagePresenter({});
    setMessagePresenter(saved_);
  }
  void TearDown() override {
    setMessagePresenter(std::move(saved_));
    setActiveCodePage(savedCodePage_);
  }

 private:
  MessagePresenter saved_;
  uint32_t savedCodePage_ = CP_UTF8;
};

TEST_F(MessageBoxTest, PresenterSeesTextCaptionAndType) {
  fbtest::MessageRecorder recorder;
  EXPECT_EQ(MessageBoxA(nullptr, "The file is in use.", "XQPPrint", MB_OK | MB_ICONERROR), IDOK);
  int owner = 0;
  EXPECT_EQ(MessageBoxA(&owner, "Delete the page?", "Confirm", MB_YESNO | MB_ICONQUESTION), IDYES);
  ASSERT_EQ(recorder.messages().size(), 2u);
  EXPECT_EQ(recorder.messages()[0].text, "The file is in use.");
  EXPECT_EQ(recorder.messages()[0].caption, "XQPPrint");
  EXPECT_EQ(recorder.messages()[0].type, MB_OK | MB_ICONERROR);
  EXPECT_EQ(recorder.messages()[1].text, "Delete the page?");
  EXPECT_EQ(recorder.messages()[1].type, MB_YESNO | MB_ICONQUESTION);
}

TEST_F(MessageBoxTest, NullTextAndCaptionAreAccepted) {
  fbtest::MessageRecorder recorder;
  EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, "text only", nullptr, MB_OK), IDOK);
  ASSERT_EQ(recorder.messages().size(), 2u);
  EXPECT_EQ(recorder.messages()[0].text, "");
  EXPECT_EQ(recorder.messages()[0].caption, "Error");  // the system's caption for a box without one
  EXPECT_EQ(recorder.messages()[1].caption, "Error");
}

TEST_F(MessageBoxTest, TextIsPassedOnAsTheAnsiBytesGiven) {
  ASSERT_TRUE(setActiveCodePage(936));
  fbtest::MessageRecorder recorder;
  MessageBoxA(nullptr, "\xD6\xD0\xCE\xC4", "\xCE\xC4", MB_OK);
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0].text, "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(recorder.messages()[0].caption, "\xCE\xC4");
}

TEST_F(MessageBoxTest, SetMessagePresenterHandsBackThePreviousOne) {
  std::string seen;
  const auto first = [&seen](const MessageBoxRequest& r) {
    seen += "first:" + r.text + ";";
    return IDCANCEL;
  };
  const auto second = [&seen](const MessageBoxRequest& r) {
    seen += "second:" + r.text + ";";
    return IDNO;
  };
  setMessagePresenter(first);
  MessagePresenter previous = setMessagePresenter(second);
  ASSERT_TRUE(previous);
  EXPECT_EQ(MessageBoxA(nullptr, "a", "c", MB_OK), IDNO);
  EXPECT_EQ(previous(MessageBoxRequest{"b", "c", MB_OK}), IDCANCEL);
  EXPECT_EQ(seen, "second:a;first:b;");

  MessagePresenter replaced = setMessagePresenter(std::move(previous));
  ASSERT_TRUE(replaced);
  EXPECT_EQ(MessageBoxA(nullptr, "d", "c", MB_OK), IDCANCEL);
  EXPECT_EQ(seen, "second:a;first:b;first:d;");
}

TEST_F(MessageBoxTest, RecordersNestAndRestoreTheOuterOne) {
  fbtest::MessageRecorder outer;
  MessageBoxA(nullptr, "one", "c", MB_OK);
  {
    fbtest::MessageRecorder inner;
    MessageBoxA(nullptr, "two", "c", MB_OK);
    ASSERT_EQ(inner.messages().size(), 1u);
    EXPECT_EQ(inner.messages()[0].text, "two");
  }
  MessageBoxA(nullptr, "three", "c", MB_OK);
  ASSERT_EQ(outer.messages().size(), 2u);
  EXPECT_EQ(outer.messages()[0].text, "one");
  EXPECT_EQ(outer.messages()[1].text, "three");
}

TEST_F(MessageBoxTest, APresenterMayShowABoxItself) {
  std::vector<std::string> shown;
  setMessagePresenter([&shown](const MessageBoxRequest& r) {
    shown.push_back(r.text);
    if (r.text == "outer") MessageBoxA(nullptr, "inner", "c", MB_OK);
    return IDOK;
  });
  EXPECT_EQ(MessageBoxA(nullptr, "outer", "c", MB_OK), IDOK);
  EXPECT_EQ(shown, (std::vector<std::string>{"outer", "inner"}));
}

// The default presenter: one line "caption: text" on standard error.
TEST_F(MessageBoxTest, WithoutAPresenterBoxesGoToStandardError) {
  struct Case {
    const char* text;
    const char* caption;
    uint32_t type;
    uint32_t codePage;
    std::string expectedLine;
    int expectedAnswer;
  };
  const Case cases[] = {
      {"The printer name is invalid.", "Prninst", MB_OK | MB_ICONERROR, CP_UTF8, "Prninst: The printer name is invalid.\n",
       IDOK},
      {"Access is denied.\r\n", "XQPPrint", MB_OK, CP_UTF8, "XQPPrint: Access is denied.\n", IDOK},
      {"Overwrite?", "Save", MB_YESNO | MB_ICONQUESTION, CP_UTF8, "Save: Overwrite?\n", IDYES},
      {"Go on?", "Print", MB_OKCANCEL, CP_UTF8, "Print: Go on?\n", IDOK},
      {"\xD6\xD0\xCE\xC4\n", "\xCE\xC4", MB_OK, 936, "文: 中文\n", IDOK},  // shown as UTF-8
      {nullptr, nullptr, MB_OK, CP_UTF8, "Error: \n", IDOK},
  };
  setMessagePresenter({});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expectedLine);
    ASSERT_TRUE(setActiveCodePage(c.codePage));
    testing::internal::CaptureStderr();
    const int answer = MessageBoxA(nullptr, c.text, c.caption, c.type);
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_EQ(output, c.expectedLine);
    EXPECT_EQ(answer, c.expectedAnswer);
  }
}

TEST_F(MessageBoxTest, AnEmptyPresenterRestoresTheDefault) {
  {
    fbtest::MessageRecorder recorder;
    MessagePresenter previous = setMessagePresenter({});
    ASSERT_TRUE(previous) << "the recorder was not installed";
    testing::internal::CaptureStderr();
    MessageBoxA(nullptr, "to stderr", "Default", MB_OK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Default: to stderr\n");
    EXPECT_TRUE(recorder.messages().empty());
    setMessagePresenter(std::move(previous));
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(presentOnStderr(MessageBoxRequest{"direct\r\n\r\n", "Call", MB_YESNO}), IDYES);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Call: direct\n");
}

}  // namespace
