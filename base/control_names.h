#pragma once
// The object names of the main window's controls and of the update window's,
// as the GUI-free code addresses them through WindowAccess. This is the only
// place outside the Qt layer where a control's name is spelled.

#include <array>
#include <string_view>

namespace yhz::control {

// Main window.
inline constexpr std::string_view kMainWindow = "主窗口";
inline constexpr std::string_view kHeaderBand = "外形框1";
inline constexpr std::string_view kLogo = "图片框1";
inline constexpr std::string_view kTitle = "标签1";
inline constexpr std::string_view kTrimTimer = "时钟1";
inline constexpr std::string_view kPages = "选择夹2";

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

// The update window.
inline constexpr std::string_view kUpdateWindow = "更新窗口";
inline constexpr std::string_view kUpdateTitleBar = "图片框_标题栏";
inline constexpr std::string_view kUpdateHeading = "透明标签4";
inline constexpr std::string_view kUpdateProgress = "进度条1";
inline constexpr std::string_view kUpdateProgressText = "透明标签1";
inline constexpr std::string_view kUpdateCurrentVersion = "透明标签2";
inline constexpr std::string_view kUpdateLatestVersion = "透明标签3";
inline constexpr std::string_view kUpdateClose = "关闭";
inline constexpr std::string_view kUpdateTimer = "时钟1";

}  // namespace yhz::control
