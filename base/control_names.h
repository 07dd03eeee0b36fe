#pragma once
// The object names of the main window's controls and of the update window's,
// as the GUI-free code addresses them through WindowAccess and the Qt layer
// names its widgets. This is the only place a control's name is spelled.
// Each window has a group of its own: the two windows use some names twice
// ("透明标签1", "透明标签4", "时钟1").

#include <array>
#include <string_view>

namespace yhz::control {

namespace main_window {

inline constexpr std::string_view kMainWindow = "主窗口";
inline constexpr std::string_view kHeaderBand = "外形框1";
inline constexpr std::string_view kLogo = "图片框1";
inline constexpr std::string_view kTitle = "标签1";
inline constexpr std::string_view kTrimTimer = "时钟1";
inline constexpr std::string_view kPages = "选择夹2";
// Right of the page tabs: opens the watch list.
inline constexpr std::string_view kWatchListButton = "按钮_关注列表";

// Page "号段采集".
inline constexpr std::string_view kRegionChoice = "组合框1";
inline constexpr std::string_view kOpenRegionButton = "按钮1";
inline constexpr std::string_view kExpiredButton = "按钮2";
inline constexpr std::string_view kSegmentButton = "按钮3";
inline constexpr std::string_view kBrowser = "互联网浏览器1";
// Pages and rows of the retrievals so far: a small label at the right end of
// the header band 外形框1, over no page, shown only around a run.
inline constexpr std::string_view kRetrievalProgress = "标签_采集进度";

// Page "号码过滤".
inline constexpr std::string_view kRulesBox = "分组框4";
inline constexpr std::string_view kRulesHint = "透明标签4";
inline constexpr std::string_view kIncludeCaption = "透明标签10";
inline constexpr std::string_view kIncludeEdit = "编辑框1";
inline constexpr std::string_view kExcludeCaption = "透明标签11";
inline constexpr std::string_view kExcludeEdit = "编辑框2";
inline constexpr std::string_view kFilterButton = "超级按钮_筛选号牌";
inline constexpr std::string_view kSegmentBox = "分组框5";
inline constexpr std::string_view kSegmentList = "超级列表框1";
// Nice-number choices: a small menu button beside the rules, each choice a
// checkable menu entry, all off when the window opens.
inline constexpr std::string_view kPatternButton = "按钮_靓号";
inline constexpr std::string_view kPatternTriple = "靓号_AAA";
inline constexpr std::string_view kPatternQuadruple = "靓号_AAAA";
inline constexpr std::string_view kPatternPairs = "靓号_AABB";
inline constexpr std::string_view kPatternAlternation = "靓号_ABAB";
inline constexpr std::string_view kPatternMirror = "靓号_ABBA";
inline constexpr std::string_view kPatternStraightUp = "靓号_顺子";
inline constexpr std::string_view kPatternStraightDown = "靓号_倒顺";
inline constexpr std::array<std::string_view, 10> kTailDigitChoices = {
    "尾号_0", "尾号_1", "尾号_2", "尾号_3", "尾号_4",
    "尾号_5", "尾号_6", "尾号_7", "尾号_8", "尾号_9"};

// Page "查号".
inline constexpr std::string_view kQueryBox = "分组框7";
inline constexpr std::string_view kStartQueryButton = "超级按钮_开始查询";
inline constexpr std::string_view kStopQueryButton = "超级按钮_停止查询";
// Asks again only about the rows without a final answer: a small button
// beside the remaining count.
inline constexpr std::string_view kContinueQueryButton = "按钮_继续查询";
inline constexpr std::string_view kExportButton = "超级按钮_导出号牌";
inline constexpr std::string_view kRemainingCaption = "透明标签5";
inline constexpr std::string_view kRemainingLabel = "透明标签_剩余";
inline constexpr std::string_view kAvailableCaption = "透明标签6";
inline constexpr std::string_view kAvailableLabel = "透明标签_可用";
inline constexpr std::string_view kRelayChoice = "组合框2";
inline constexpr std::string_view kLegend = "透明标签1";
inline constexpr std::string_view kPlateList = "超级列表框3";
inline constexpr std::string_view kQueryProgress = "进度条_查询";
inline constexpr std::string_view kPlatePreview = "图片框_号牌预览";
inline constexpr std::string_view kFileDialog = "通用对话框1";

// Over the pages, and beside them.
inline constexpr std::string_view kAnnouncementBox = "分组框1";
inline constexpr std::string_view kAnnouncement = "透明标签_公告";
inline constexpr std::string_view kLogBox = "分组框2";
inline constexpr std::string_view kLogPane = "编辑框_日志";

// Pop-up menus over the plate list and the segment list.
inline constexpr std::string_view kPlateMenu = "菜单";
inline constexpr std::string_view kSegmentMenu = "菜单2";

// The pages of 选择夹2, in order.
inline constexpr int kPageCount = 3;

// Every name above that stands for a lasting object of the window, for
// whoever must find them all (the common file dialog exists only while open).
inline constexpr std::array kAll = {kMainWindow,
                                    kHeaderBand,
                                    kLogo,
                                    kTitle,
                                    kTrimTimer,
                                    kPages,
                                    kRegionChoice,
                                    kOpenRegionButton,
                                    kExpiredButton,
                                    kSegmentButton,
                                    kBrowser,
                                    kRetrievalProgress,
                                    kRulesBox,
                                    kRulesHint,
                                    kIncludeCaption,
                                    kIncludeEdit,
                                    kExcludeCaption,
                                    kExcludeEdit,
                                    kFilterButton,
                                    kSegmentBox,
                                    kSegmentList,
                                    kPatternButton,
                                    kPatternTriple,
                                    kPatternQuadruple,
                                    kPatternPairs,
                                    kPatternAlternation,
                                    kPatternMirror,
                                    kPatternStraightUp,
                                    kPatternStraightDown,
                                    kTailDigitChoices[0],
                                    kTailDigitChoices[1],
                                    kTailDigitChoices[2],
                                    kTailDigitChoices[3],
                                    kTailDigitChoices[4],
                                    kTailDigitChoices[5],
                                    kTailDigitChoices[6],
                                    kTailDigitChoices[7],
                                    kTailDigitChoices[8],
                                    kTailDigitChoices[9],
                                    kQueryBox,
                                    kStartQueryButton,
                                    kContinueQueryButton,
                                    kWatchListButton,
                                    kStopQueryButton,
                                    kExportButton,
                                    kRemainingCaption,
                                    kRemainingLabel,
                                    kAvailableCaption,
                                    kAvailableLabel,
                                    kRelayChoice,
                                    kLegend,
                                    kPlateList,
                                    kQueryProgress,
                                    kPlatePreview,
                                    kAnnouncementBox,
                                    kAnnouncement,
                                    kLogBox,
                                    kLogPane,
                                    kPlateMenu,
                                    kSegmentMenu};

}  // namespace main_window

namespace update_window {

inline constexpr std::string_view kWindow = "更新窗口";
inline constexpr std::string_view kTitleBar = "图片框_标题栏";
inline constexpr std::string_view kHeading = "透明标签4";
inline constexpr std::string_view kProgress = "进度条1";
inline constexpr std::string_view kProgressText = "透明标签1";
inline constexpr std::string_view kCurrentVersion = "透明标签2";
inline constexpr std::string_view kLatestVersion = "透明标签3";
inline constexpr std::string_view kClose = "关闭";
inline constexpr std::string_view kTimer = "时钟1";

inline constexpr std::array kAll = {kWindow,        kTitleBar,     kHeading,
                                    kProgress,      kProgressText, kCurrentVersion,
                                    kLatestVersion, kClose,        kTimer};

}  // namespace update_window

// The core addresses the main window; its names read control::kName.
using namespace main_window;

}  // namespace yhz::control
