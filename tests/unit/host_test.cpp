#include <gtest/gtest.h>

#include <string>

#include "host/host.h"

namespace {

TEST(HostArguments, EveryExampleSelectsItsMode) {
  struct Case {
    const char* text;
    HostMode mode;
    uint32_t window;
  };
  const Case cases[] = {
      {"", ModeSettingsNoOwner, 0},        {"/c", ModeSettingsForeground, 0}, {"-C", ModeSettingsForeground, 0},
      {"c:1234", ModeSettingsForeground, 0}, {"/s", ModeFullScreen, 0},       {"  /S", ModeFullScreen, 0},
      {"/p 1234", ModePreview, 1234},      {"-P1234", ModePreview, 1234},     {"p  1234", ModePreview, 1234},
      {"/l 1234", ModePreview, 1234},      {"/p:1234", ModePreview, 0},       {"/p", ModePreview, 0},
      {"/a 77", ModeChangePassword, 77},   {"/x", ModeInvalid, 0},            {"\t/s", ModeInvalid, 0},
      {":s", ModeInvalid, 0},              {"5", ModeInvalid, 0},             {"/-/ z", ModeInvalid, 0},
  };
  for (const Case& c : cases) {
    HostCommand command = ParseArguments(c.text);
    EXPECT_EQ(command.mode, c.mode) << '"' << c.text << '"';
    EXPECT_EQ(command.window, c.window) << '"' << c.text << '"';
  }
}

TEST(HostArguments, WindowNumbersWrapAt32Bits) {
  EXPECT_EQ(ParseArguments("/p 4294967297").window, 1u);
  EXPECT_EQ(ParseArguments("/p 12x34").window, 12u);
}

// A handle with its top bit set is printed as a number above 2^31; on a
// 64-bit system the handle is that number sign-extended, not zero-extended.
TEST(HostArguments, WindowNumbersAboveTwoToThe31StandForSignExtendedHandles) {
  EXPECT_EQ(WindowHandleValue(ParseArguments("/p 1234").window), 1234);
  EXPECT_EQ(WindowHandleValue(ParseArguments("/p 2147483647").window), INT32_MAX);
  EXPECT_EQ(WindowHandleValue(ParseArguments("/p 2147483648").window), intptr_t{INT32_MIN});
  EXPECT_EQ(WindowHandleValue(ParseArguments("/p 4294967294").window), intptr_t{-2});
  EXPECT_EQ(WindowHandleValue(ParseArguments("/a 3221225473").window), intptr_t{-1073741823});
}

TEST(HostArguments, ProgramNameAndTheBlanksAfterItAreSkipped) {
  EXPECT_STREQ(SkipProgramName("\"C:\\Program Files\\tumbra.scr\" /s"), "/s");
  EXPECT_STREQ(SkipProgramName("tumbra.scr   /p 12"), "/p 12");
  EXPECT_STREQ(SkipProgramName("tumbra.scr\t\t-c"), "-c");
  EXPECT_STREQ(SkipProgramName("\"no end quote /s"), "");
  EXPECT_STREQ(SkipProgramName("tumbra.scr"), "");
  EXPECT_STREQ(SkipProgramName("\"a b\"/s"), "/s");
}

class HostRules : public testing::Test {
 protected:
  void SetUp() override {
    host = SaverHostState{};
    host.lastVerifyTime = NoVerifyTime;
    host.moveThreshold = 4;
    host.referencePoint = {100, 100};
  }
  SaverHostState host;
};

TEST_F(HostRules, MovementMustExceedFourPixelsCountedAsDxPlusDy) {
  EXPECT_FALSE(MouseMovedPastThreshold(&host, {103, 101}));
  EXPECT_FALSE(MouseMovedPastThreshold(&host, {96, 100}));
  EXPECT_TRUE(MouseMovedPastThreshold(&host, {103, 102}));
  EXPECT_EQ(host.referencePoint.x, 103);
  EXPECT_EQ(host.referencePoint.y, 102);
  EXPECT_TRUE(MouseMovedPastThreshold(&host, {100, 100}));  // back by 3 + 2
  EXPECT_TRUE(MouseMovedPastThreshold(&host, {INT32_MIN, INT32_MAX}));
}

TEST_F(HostRules, FullScreenSwallowsWindowSwitchingAndScreenSaveCommands) {
  for (uintptr_t command : {CommandNextWindow, CommandPreviousWindow, CommandScreenSave})
    EXPECT_EQ(HostMessageAction(&host, MsgSysCommand, command).result, ResultZero);
  EXPECT_EQ(HostMessageAction(&host, MsgSysCommand, 0xF060).result, ResultToSaver);
  host.preview = true;
  EXPECT_EQ(HostMessageAction(&host, MsgSysCommand, CommandScreenSave).result, ResultToSaver);
}

// The system sets the low four bits of a command for its own use (a command
// from the keyboard or the mouse, for instance).
TEST_F(HostRules, SystemCommandsAreTakenWithoutTheirLowFourBits) {
  for (uintptr_t low : {1u, 2u, 0xFu}) {
    EXPECT_EQ(HostMessageAction(&host, MsgSysCommand, CommandScreenSave | low).result, ResultZero) << low;
    EXPECT_EQ(HostMessageAction(&host, MsgSysCommand, CommandNextWindow | low).result, ResultZero) << low;
    EXPECT_EQ(HostMessageAction(&host, MsgSysCommand, 0xF060 | low).result, ResultToSaver) << low;  // close
  }
  EXPECT_EQ(HostMessageAction(&host, MsgSysCommand, CommandScreenSave + 0x10).result, ResultToSaver);
  host.preview = true;
  EXPECT_EQ(HostMessageAction(&host, MsgSysCommand, CommandScreenSave | 2).result, ResultToSaver);
}

TEST_F(HostRules, HostPartOfEachMessage) {
  EXPECT_EQ(HostMessageAction(&host, MsgSetText, 0).result, ResultZero);
  HostAction create = HostMessageAction(&host, MsgCreate, 0);
  EXPECT_EQ(create.acts, ActCreateSteps | ActHideCursor);
  EXPECT_EQ(create.result, ResultToSaver);
  EXPECT_EQ(HostMessageAction(&host, MsgDestroy, 0).acts, ActDestroySteps);
  EXPECT_EQ(HostMessageAction(&host, MsgPaint, 0).acts, ActHideCursor);
  EXPECT_EQ(HostMessageAction(&host, MsgTimer, 0).acts, ActYield);
  EXPECT_EQ(HostMessageAction(&host, MsgHelp, 0).result, ResultToSaver);

  host.preview = true;
  EXPECT_EQ(HostMessageAction(&host, MsgCreate, 0).acts, ActCreateSteps);
  EXPECT_EQ(HostMessageAction(&host, MsgPaint, 0).acts, 0u);
  HostAction help = HostMessageAction(&host, MsgContextMenu, 0);
  EXPECT_EQ(help.acts, ActForwardToParent);
  EXPECT_EQ(help.result, ResultOne);
}

TEST_F(HostRules, OnceClosingIsGrantedInputAndPaintingGoToTheDefaults) {
  host.closeAllowed = true;
  for (uint32_t m : {MsgKeyDown, MsgSysKeyDown, MsgMouseMove, MsgLeftButtonDown, MsgRightButtonDown,
                     MsgMiddleButtonDown, MsgPaint})
    EXPECT_EQ(HostMessageAction(&host, m, 0).result, ResultDefault) << m;
  EXPECT_EQ(HostMessageAction(&host, MsgTimer, 0).result, ResultZero);
  EXPECT_EQ(DefaultMessageAction(&host, MsgKeyDown, 0).acts, 0u);
}

TEST_F(HostRules, InputEndsTheFullScreenSaverButNotThePreview) {
  for (uint32_t m : {MsgKeyDown, MsgSysKeyDown, MsgLeftButtonDown, MsgRightButtonDown, MsgMiddleButtonDown}) {
    HostAction action = DefaultMessageAction(&host, m, 0);
    EXPECT_EQ(action.acts, ActPostClose) << m;
    EXPECT_EQ(action.result, ResultDefault) << m;
  }
  EXPECT_EQ(DefaultMessageAction(&host, MsgMouseMove, 0).acts, ActCheckMouse);
  EXPECT_EQ(DefaultMessageAction(&host, MsgActivateApp, 0).acts, ActPostClose);
  EXPECT_EQ(DefaultMessageAction(&host, MsgActivateApp, 1).acts, 0u);
  EXPECT_EQ(DefaultMessageAction(&host, MsgShowWindow, 1).acts, ActHideCursor);
  HostAction cursor = DefaultMessageAction(&host, MsgSetCursor, 0);
  EXPECT_EQ(cursor.acts, ActHideCursor);
  EXPECT_EQ(cursor.result, ResultOne);

  host.preview = true;
  for (uint32_t m : {MsgKeyDown, MsgMouseMove, MsgLeftButtonDown, MsgActivateApp, MsgSetCursor, MsgClose})
    EXPECT_EQ(DefaultMessageAction(&host, m, 0).acts, 0u) << m;
}

// What an X event does to a full-screen run: its message through the host's rules.
uint32_t ActsOfInput(const SaverHostState& host, const InputEvent& event, bool desktopWindow) {
  uintptr_t wParam = 7;
  const uint32_t message = InputMessage(event, desktopWindow, &wParam);
  if (message == 0) return 0;
  if (message == MsgClose) return ActPostClose;
  return DefaultMessageAction(&host, message, wParam).acts;
}

InputEvent Key(uint32_t keySym) { return {InputKey, 0, 0, 0, keySym}; }
InputEvent Button(uint32_t button) { return {InputButton, button, 0, 0, 0}; }
InputEvent FocusOut(uint32_t detail, uint32_t mode) { return {InputFocusOut, 0, detail, mode, 0}; }

TEST_F(HostRules, XInputEndsAFullScreenRunExceptWheelsAndFocusMovingWithinIt) {
  const uint32_t NotifyAncestor = 0, NotifyNonlinear = 3, NotifyNormal = 0, NotifyWhileGrabbed = 3;
  for (const InputEvent& ends : {Key(KeySymEscape), Key('a'), Key(0xFFE1), Button(1), Button(2), Button(3),
                                 FocusOut(NotifyAncestor, NotifyNormal), FocusOut(NotifyNonlinear, NotifyWhileGrabbed)})
    EXPECT_EQ(ActsOfInput(host, ends, false), ActPostClose) << ends.kind << " " << ends.button << " " << ends.keySym;
  for (const InputEvent& stays : {Button(4), Button(5), Button(6), Button(0), FocusOut(FocusDetailInferior, NotifyNormal),
                                  FocusOut(FocusDetailPointer, NotifyNormal), FocusOut(NotifyNonlinear, FocusModeUngrab),
                                  InputEvent{InputOther, 1, 0, 0, KeySymEscape}})
    EXPECT_EQ(ActsOfInput(host, stays, false), 0u) << stays.kind << " " << stays.button << " " << stays.focusDetail;
  EXPECT_EQ(ActsOfInput(host, {InputMotion, 0, 0, 0, 0}, false), ActCheckMouse);
}

TEST_F(HostRules, ADesktopWindowEndsOnEscapeAndQOnly) {
  host.preview = true;  // as the front end runs a window of its own
  for (uint32_t key : {KeySymEscape, KeySymLowerQ, KeySymUpperQ})
    EXPECT_EQ(ActsOfInput(host, Key(key), true), ActPostClose) << key;
  for (const InputEvent& stays : {Key('a'), Key(' '), Key(0xFF0D), Button(1), Button(3), FocusOut(0, 0),
                                  InputEvent{InputMotion, 0, 0, 0, 0}})
    EXPECT_EQ(ActsOfInput(host, stays, true), 0u) << stays.kind << " " << stays.keySym;
  // Full screen, q is a key like any other.
  host.preview = false;
  EXPECT_EQ(ActsOfInput(host, Key(KeySymLowerQ), false), ActPostClose);
}

TEST_F(HostRules, PasswordPlatformChecksBeforeClosingAndIgnoresInputMeanwhile) {
  EXPECT_EQ(DefaultMessageAction(&host, MsgClose, 0).acts, 0u);
  EXPECT_EQ(DefaultMessageAction(&host, VerifyPasswordMessage, 0).acts, 0u);
  host.passwordPlatform = true;
  EXPECT_EQ(DefaultMessageAction(&host, MsgClose, 0).acts, ActVerifyClose);
  EXPECT_EQ(DefaultMessageAction(&host, VerifyPasswordMessage, 0).acts, ActAskVerifier);
  host.passwordDialogActive = true;
  EXPECT_EQ(DefaultMessageAction(&host, MsgKeyDown, 0).acts, 0u);
  EXPECT_EQ(DefaultMessageAction(&host, MsgMouseMove, 0).acts, 0u);
}

TEST_F(HostRules, WithoutAVerifierClosingIsGrantedOnce) {
  EXPECT_EQ(BeginVerify(&host, 1000, false), VerifyGrant);
  EXPECT_TRUE(host.closeAllowed);
  EXPECT_EQ(BeginVerify(&host, 1000, false), VerifyRefuse);
}

TEST_F(HostRules, RefusedPasswordPausesFurtherRequestsFor200Milliseconds) {
  ASSERT_EQ(BeginVerify(&host, 5000, true), VerifyAsk);
  EXPECT_TRUE(host.passwordDialogActive);
  EXPECT_EQ(BeginVerify(&host, 5001, true), VerifyRefuse);  // no second dialog
  EXPECT_FALSE(EndVerify(&host, false, 6000));
  EXPECT_FALSE(host.passwordDialogActive);
  EXPECT_FALSE(host.closeAllowed);
  EXPECT_EQ(BeginVerify(&host, 6199, true), VerifyRefuse);
  ASSERT_EQ(BeginVerify(&host, 6200, true), VerifyAsk);
  EXPECT_TRUE(EndVerify(&host, true, 7000));
  EXPECT_TRUE(host.closeAllowed);
  EXPECT_EQ(BeginVerify(&host, 9000, true), VerifyRefuse);  // no double grant
}

TEST_F(HostRules, PauseHoldsAcrossTheTickCountWrapping) {
  ASSERT_EQ(BeginVerify(&host, 0xFFFFFFF0u, true), VerifyAsk);
  EndVerify(&host, false, 0xFFFFFFF0u);
  EXPECT_EQ(BeginVerify(&host, 0x00000010u, true), VerifyRefuse);  // 32 ms later
  EXPECT_EQ(BeginVerify(&host, 0x000000B8u, true), VerifyAsk);     // 200 ms later
}

// The full-screen window spans every monitor; on one monitor it is the
// primary screen at 0, 0 as before.
TEST(HostFullScreen, CoversEveryMonitorAndOnOneMonitorJustThePrimary) {
  struct Case {
    const char* layout;
    ScreenMetrics metrics;
    ScreenRect want;
  };
  const Case cases[] = {
      {"one monitor", {1920, 1080, 0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
      {"no virtual screen reported", {1024, 768, 0, 0, 0, 0}, {0, 0, 1024, 768}},
      {"second monitor right, shorter", {1920, 1080, 0, 0, 3200, 1080}, {0, 0, 3200, 1080}},
      {"second monitor left", {1920, 1080, -1280, 0, 3200, 1080}, {-1280, 0, 3200, 1080}},
      {"second monitor above, offset", {1920, 1080, -300, -1024, 2220, 2104}, {-300, -1024, 2220, 2104}},
      {"virtual screen missing the primary", {800, 600, 1000, 0, 500, 400}, {0, 0, 1500, 600}},
      {"virtual screen of no width", {800, 600, -500, 0, 0, 600}, {0, 0, 800, 600}},
  };
  for (const Case& c : cases) {
    const ScreenRect got = FullScreenRect(c.metrics);
    EXPECT_EQ(got.left, c.want.left) << c.layout;
    EXPECT_EQ(got.top, c.want.top) << c.layout;
    EXPECT_EQ(got.width, c.want.width) << c.layout;
    EXPECT_EQ(got.height, c.want.height) << c.layout;
  }
}

TEST(HostFullScreen, NonsenseMetricsGiveNoNegativeOrWrappedSize) {
  const ScreenRect huge = FullScreenRect({INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
  EXPECT_EQ(huge.left, INT32_MIN);
  EXPECT_EQ(huge.width, INT32_MAX);
  EXPECT_EQ(huge.height, INT32_MAX);
  const ScreenRect negative = FullScreenRect({-5, -7, 0, 0, -1, -1});
  EXPECT_EQ(negative.width, 0);
  EXPECT_EQ(negative.height, 0);
}

}  // namespace
