// The page "号段采集" of the real window with the real browser: a region's
// page from the site simulator over HTTPS with the demo authority, segments
// and expired plates fetched through the buttons, and the page document's
// locators on pages the test serves.

#include <httplib.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <iterator>
#include <memory>

#include "app/main_window.h"
#include "app/message_box.h"
#include "app/skin.h"
#include "base/program_values.h"
#include "browser/browser_view.h"
#include "browser/page_document.h"
#include "demo/site_sim/site_sim.h"
#include "demo/world/site_data.h"
#include "net/cookies.h"
#include "net/http_client.h"
#include "retrieval/expired_day_file.h"
#include "support/demo_ca.h"
#include "support/loopback.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

using namespace yhz;

namespace {

constexpr int kTimeout = 30000;

const char* kLocatorPage = R"(<!DOCTYPE html><html><head><title>t</title></head><body>
<select id="glbm" name="glbm"><option value="a">A</option></select>
<select name="glbm"><option value="x">X</option><option value="y" selected>Y</option></select>
<input id="t1" type="TEXT" value="typed">
<input id="t2" type="textarea" value="no">
<button class="btn primary" id="b1" value="go">Go</button>
<a id="link" href="/Next/Page.html">next</a>
<iframe src="/frame.html"></iframe>
</body></html>)";

const char* kFramePage = R"(<!DOCTYPE html><html><body>
<input id="inner" value="from the frame">
<select id="hpzl"><option value="02">小型汽车</option><option value="52" selected>新能源</option></select>
</body></html>)";

// A page that names a file outside the data folder through its choices.
const char* kHostilePage = R"(<!DOCTYPE html><html><body>
<select id="glbm"><option value="../../escaped">x</option></select>
<select id="hpzl"><option value="02">小型汽车</option></select>
<input id="startTime" value="2024-01-01"><input id="endTime" value="2024-02-01">
</body></html>)";

// Choices behind elements that once made the whole page unreadable: an
// attribute of 20,000 emoji whose cut fell inside a surrogate pair, a lone
// surrogate, one element whose attributes alone would fill what a page may
// bring, and a select of 5000 options.
const char* kOddPage = R"(<!DOCTYPE html><html><body>
<div id="odd"></div><select id="crowded"></select>
<select id="glbm"><option value="1">A</option><option value="320900" selected>B</option></select>
<select id="hpzl"><option value="02">小型汽车</option></select>
<input id="startTime" value="2024-01-01"><input id="endTime" value="2024-02-01">
<script>
var odd = document.getElementById('odd'), big = 'v'.repeat(10000);
odd.setAttribute('data-emoji', 'x' + '\ud83d\ude00'.repeat(20000));
odd.setAttribute('data-lone', 'a\ud800b');
for (var i = 0; i < 2000; i++) odd.setAttribute('data-' + i, big);
var crowded = document.getElementById('crowded');
for (var k = 0; k < 5000; k++) crowded.add(new Option('o', k));
</script></body></html>)";

using yhz::testing::readFile;

}  // namespace

class RetrievalGuiTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testing::TempDir> caDir_;
    std::unique_ptr<sim::SiteSim> sim_;
    std::unique_ptr<test::RunningServer> pages_;

    std::string siteOf(const char* code) const {
        return "https://" + std::string(code) + ".localhost:" + std::to_string(sim_->port());
    }
    std::string pageAddress(const char* path) const {
        return "http://127.0.0.1:" + std::to_string(pages_->port()) + path;
    }

    template <typename W>
    static W* find(MainWindow& w, std::string_view name) {
        return w.findChild<W*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }

    // A window whose one region is `site`; 组合框1 selects it by itself.
    static void offerRegion(MainWindow& w, const std::string& site) {
        w.startupValues().setSiteList({site});
        w.access().addItem("组合框1", gbk("江苏盐城-苏J"));
    }

    static bool load(BrowserView* view, const std::string& address) {
        QSignalSpy loaded(view, &QWebEngineView::loadFinished);
        view->openAddress(address);
        if (!loaded.wait(kTimeout)) {
            return false;
        }
        return loaded.last().at(0).toBool();
    }

    // A browser view of its own, showing one of the test's pages.
    bool show(BrowserView& view, const char* path) const {
        view.resize(400, 300);
        view.show();
        return load(&view, pageAddress(path));
    }

    // Runs a script in the page's own world and waits for it.
    static QVariant inPage(BrowserView* view, const QString& script) {
        QVariant out;
        bool done = false;
        view->page()->runJavaScript(script, [&](const QVariant& v) {
            out = v;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, kTimeout)) {
            qWarning("script did not answer");
        }
        return out;
    }

    static bool logHas(MainWindow& w, const char* utf8) {
        return w.log().content().find(gbk(utf8)) != std::string::npos;
    }

private slots:
    void initTestCase() {
        applySkin(*qApp);
        caDir_ = std::make_unique<testing::TempDir>("yhz-browser-ca");
        QCOMPARE(testing::makeDemoCa(caDir_->path()), 0);
        sim::SiteSimOptions options;
        options.port = 0;
        options.certificatePath = (caDir_->path() / "server.pem").string();
        options.keyPath = (caDir_->path() / "server.key").string();
        std::string error;
        sim_ = sim::SiteSim::start(options, &error);
        QVERIFY2(sim_ != nullptr, error.c_str());
        HttpClient::setCaBundle((caDir_->path() / "ca.pem").string());

        auto server = std::make_unique<httplib::Server>();
        server->Get("/locators.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(kLocatorPage, "text/html; charset=utf-8");
        });
        server->Get("/frame.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(kFramePage, "text/html; charset=utf-8");
        });
        server->Get("/odd.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(kOddPage, "text/html; charset=utf-8");
        });
        server->Get("/plain.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><body><p>nothing to choose</p></body></html>",
                            "text/html; charset=utf-8");
        });
        server->Get("/views/vehxhhdpub.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(kHostilePage, "text/html; charset=utf-8");
        });
        pages_ = std::make_unique<test::RunningServer>(std::move(server));
    }

    void cleanupTestCase() {
        HttpClient::setCaBundle("");
        sim_.reset();
        pages_.reset();
    }

    void segmentsAndExpiredPlatesFromTheSimulator() {
        const demo::Region& region = *demo::findRegion("js-yc");
        const demo::Office office = demo::offices(region)[1];
        const std::string site = siteOf("js-yc");

        MainWindow w;
        w.show();
        offerRegion(w, site);
        auto* browser = find<BrowserView>(w, "互联网浏览器1");
        QSignalSpy loaded(browser, &QWebEngineView::loadFinished);
        find<QPushButton>(w, "按钮1")->click();
        QVERIFY(find<QGroupBox>(w, "分组框1")->isHidden());
        QVERIFY(loaded.wait(kTimeout));
        QVERIFY2(loaded.last().at(0).toBool(), "the demo certificate was not accepted");
        QCOMPARE(browser->url().toString().toStdString(), site + "/views/vehxhhdpub.html");

        // The session cookie was set HttpOnly: only the mirror can know it.
        QTRY_VERIFY_WITH_TIMEOUT(browserCookies(site).rfind("JSESSIONID=", 0) == 0, kTimeout);

        // The user's choices, made in the page: a year of releases of the
        // second office, so that the answer spans many pages.
        const std::int64_t last = *demo::parseDay("2024-06-30");
        const std::int64_t first = last - 365;
        inPage(browser, QStringLiteral("document.getElementById('glbm').value = '%1';"
                                       "document.getElementById('startTime').value = '%2';"
                                       "document.getElementById('endTime').value = '%3';")
                            .arg(QString::fromStdString(office.glbm),
                                 QString::fromStdString(demo::formatDay(first)),
                                 QString::fromStdString(demo::formatDay(last))));
        const std::vector<demo::Release> releases =
            demo::releases(region, office, demo::PlateType::Small, first, last);
        QVERIFY(releases.size() > 3 * static_cast<size_t>(sim::kSegmentPageSize));

        auto* segmentButton = find<QPushButton>(w, "按钮3");
        w.lists().segments->append({"stale", "row", true});
        segmentButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(logHas(w, "号段获取完毕！请手动跳转筛选页面!"), kTimeout);
        QTRY_VERIFY(segmentButton->isEnabled());
        const auto rows = w.lists().segments->read(
            [](const auto& r) { return std::vector<SegmentRow>(r.begin(), r.end()); });
        QCOMPARE(rows.size(), releases.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            QCOMPARE(rows[i].segment, gbk(releases[i].start + " ~" + releases[i].end));
            QCOMPARE(rows[i].releaseTime, demo::formatDay(releases[i].day));
            QVERIFY(!rows[i].checked);
        }
        const std::string log = w.log().content();
        const size_t total = log.find(
            gbk("当前共检索到" + std::to_string(releases.size()) + "个数据,请等待获取完毕"));
        QVERIFY(total != std::string::npos);
        QVERIFY(total < log.find(gbk("号段获取完毕！")));
        QCOMPARE(log.find(gbk("当前共检索到"), total + 1), std::string::npos);

        // The pages and rows the run took, as the list holds them.
        auto* progress = find<QLabel>(w, "标签_采集进度");
        QVERIFY(progress->isVisible());
        const long long pages =
            (static_cast<long long>(releases.size()) + sim::kSegmentPageSize - 1) /
            sim::kSegmentPageSize;
        QTRY_COMPARE(progress->text(),
                     QStringLiteral("号段：完毕，共 %1 页 %2 条").arg(pages).arg(releases.size()));
        // In the header band, over nothing of the pages.
        const QRect shown(progress->mapTo(&w, QPoint(0, 0)), progress->size());
        QVERIFY(!shown.intersects(find<QTabWidget>(w, "选择夹2")->geometry()));
        QVERIFY(find<QWidget>(w, "外形框1")->geometry().contains(shown));
        const QByteArray filterShot = qgetenv("YHZ_FILTER_SCREENSHOT");
        if (!filterShot.isEmpty()) {
            // The fetched segments on the 号码过滤 page, a few of them ticked.
            for (int row : {0, 2, 3}) {
                w.lists().segments->setChecked(row, true);
            }
            find<QTabWidget>(w, "选择夹2")->setCurrentIndex(1);
            QTest::qWait(300);
            QVERIFY(w.grab().save(QString::fromLocal8Bit(filterShot)));
            find<QTabWidget>(w, "选择夹2")->setCurrentIndex(0);
        }

        // Expired plates: from the site, then from the day file.
        const std::filesystem::path dayFile =
            *expiredDayFilePath(dataDirectory(), todayText(), office.glbm, "02");
        std::filesystem::remove(dayFile);
        std::vector<std::string> expected;
        std::string fileText;
        for (const std::string& plate :
             demo::expiredPlates(region, office, demo::PlateType::Small)) {
            expected.push_back(gbk(plate));
            fileText += gbk(plate) + "\r\n";
        }
        QVERIFY(expected.size() > static_cast<size_t>(sim::kExpiredPageSize));
        auto* expiredButton = find<QPushButton>(w, "按钮2");
        expiredButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(logHas(w, "逾期获取完毕！请手动跳转筛选页面!"), kTimeout);
        QTRY_VERIFY(expiredButton->isEnabled());
        QCOMPARE(w.lists().expired->entries(), expected);
        QCOMPARE(readFile(dayFile), fileText);
        QVERIFY(logHas(w, "正获取逾期数据...."));
        QTRY_VERIFY(progress->text().startsWith(
            QStringLiteral("逾期：完毕，共 %1 页 %2 条")
                .arg((expected.size() + sim::kExpiredPageSize - 1) / sim::kExpiredPageSize)
                .arg(expected.size())));
        const QByteArray shot = qgetenv("YHZ_RETRIEVAL_SCREENSHOT");
        if (!shot.isEmpty()) {
            QVERIFY(w.grab().save(QString::fromLocal8Bit(shot)));
        }
        QVERIFY(
            logHas(w, ("当前共检索到" + std::to_string(expected.size()) + "个数据,请等待获取完毕！")
                          .c_str()));

        const size_t before = w.log().content().size();
        MessageBox::setNextAnswer(MessageAnswer::Ok);
        expiredButton->click();
        QCOMPARE(MessageBox::lastRequest()->text, gbk("初始化完毕！"));
        QCOMPARE(MessageBox::lastRequest()->caption, gbk("温馨提示:"));
        QCOMPARE(w.lists().expired->entries(), expected);
        // No retrieval started: it would have logged its first line.
        QTest::qWait(200);
        QCOMPARE(w.log().content().size(), before);
        std::filesystem::remove(dayFile);
    }

    void pagesWithoutTheChoicesAreAnError() {
        MainWindow w;
        w.show();
        offerRegion(w, pageAddress(""));
        auto* browser = find<BrowserView>(w, "互联网浏览器1");
        QVERIFY(load(browser, pageAddress("/plain.html")));
        w.lists().segments->append({"kept", "row", false});
        MessageBox::setNextAnswer(MessageAnswer::Ok);
        find<QPushButton>(w, "按钮3")->click();
        QCOMPARE(MessageBox::lastRequest()->text, gbk("当前采集网页操作有误"));
        QCOMPARE(MessageBox::lastRequest()->caption, gbk("温馨提示:"));
        QCOMPARE(MessageBox::lastRequest()->icon, MessageIcon::Critical);
        QCOMPARE(w.lists().segments->rowCount(), 1);
        QVERIFY(find<QPushButton>(w, "按钮3")->isEnabled());

        // A page whose office names a path outside the data folder.
        QVERIFY(load(browser, pageAddress("/views/vehxhhdpub.html")));
        w.lists().expired->append("kept");
        MessageBox::setNextAnswer(MessageAnswer::Ok);
        find<QPushButton>(w, "按钮2")->click();
        QCOMPARE(MessageBox::lastRequest()->text, gbk("当前采集网页操作有误"));
        QCOMPARE(w.lists().expired->size(), size_t{0});
        QVERIFY(find<QPushButton>(w, "按钮2")->isEnabled());
        const std::filesystem::path outside = std::filesystem::path(dataDirectory()) / "../..";
        for (const auto& entry : std::filesystem::directory_iterator(outside)) {
            QVERIFY(entry.path().filename().string().find("escaped") == std::string::npos);
        }
    }

    void locatorsOnARealPage() {
        BrowserView view;
        QVERIFY(show(view, "/locators.html"));
        // The frame loads on its own; wait until its document is there.
        PageDocument doc;
        QTRY_VERIFY_WITH_TIMEOUT(doc.attachToBrowser(&view) && doc.findElement("id=inner") >= 0,
                                 kTimeout);
        const PageSnapshot& page = *doc.document();
        auto idOf = [&](int element) {
            const std::string* id =
                element < 0 ? nullptr
                            : page.elements()[static_cast<size_t>(element)].attribute("id");
            return id == nullptr ? std::string("-") : *id;
        };

        const int second = doc.selectByLocator("id=glbm[1]");
        QVERIFY(second >= 0);
        QCOMPARE(doc.optionValue(second, std::to_string(doc.selectedIndex(second) + 1)),
                 std::string("y"));
        QCOMPARE(doc.optionValue(doc.selectByLocator("id=glbm"), "1"), std::string("a"));
        QCOMPARE(doc.valueByLocator("id=inner"), std::string("from the frame"));
        QCOMPARE(choicesOf(page).hpzl, std::string("52"));
        QCOMPARE(idOf(doc.findElement("class=btn")), std::string("b1"));
        QCOMPARE(doc.findElement("class=btn secondary"), -1);
        QCOMPARE(idOf(doc.findElement("type=text")), std::string("t1"));
        QCOMPARE(doc.findElement("type=tex"), -1);
        QCOMPARE(idOf(doc.findElement("?href=next/page")), std::string("link"));
        QCOMPARE(page.elements()[static_cast<size_t>(doc.findElement("2"))].tag,
                 std::string("title"));
        QCOMPARE(doc.findElement("0"), -1);
        QCOMPARE(idOf(doc.findElement("input", "*", 1)), std::string("t2"));
        QCOMPARE(doc.valueByLocator("id=missing"), std::string());

        // One wait at a time: a second binding during the first is refused.
        bool nestedRefused = false;
        QTimer::singleShot(0, [&] {
            PageDocument nested;
            nestedRefused = PageDocument::waiting() && !nested.attachToBrowser(&view);
        });
        PageDocument outer;
        QVERIFY(outer.attachToBrowser(&view));
        QVERIFY(nestedRefused);
    }

    void oddElementsLeaveTheChoicesReadable() {
        BrowserView view;
        QVERIFY(show(view, "/odd.html"));
        PageDocument doc;
        QVERIFY(doc.attachToBrowser(&view));
        const PageChoices choices = choicesOf(*doc.document());
        QCOMPARE(choices.glbm, std::string("320900"));
        QCOMPARE(choices.hpzl, std::string("02"));
        QCOMPARE(choices.endTime, std::string("2024-02-01"));
        // Cut before the pair that would have been split; each emoji is one
        // character that GBK does not have.
        const PageElement& odd =
            doc.document()->elements()[static_cast<size_t>(doc.findElement("id=odd"))];
        QCOMPARE(*odd.attribute("data-emoji"), "x" + std::string(4999, '?'));
        QCOMPARE(*odd.attribute("data-lone"), std::string("a?b"));
        QVERIFY(odd.attributes.size() <= PageSnapshot::kMaxAttributes + 3);
        const int crowded = doc.selectByLocator("id=crowded");
        QCOMPARE(doc.document()->elements()[static_cast<size_t>(crowded)].options.size(),
                 size_t{PageSnapshot::kMaxOptions});
    }

    void certificatesOtherThanTheDemoOnesAreRefused() {
        // The simulator's certificate is accepted for its names only: a
        // TLS server under the same name with another authority's
        // certificate does not load.
        test::TestCa other;
        test::KeyAndCert cert = other.issueServer();
        auto tls = std::make_unique<httplib::SSLServer>(cert.cert, cert.key);
        tls->Get("/", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><body>untrusted</body></html>", "text/html");
        });
        test::RunningServer untrusted(std::move(tls));
        BrowserView view;
        QVERIFY(!load(&view, "https://localhost:" + std::to_string(untrusted.port()) + "/"));
        QVERIFY(!load(
            &view, "https://127.0.0.1:" + std::to_string(sim_->port()) + "/views/vehxhhdpub.html"));
        QVERIFY(load(&view, siteOf("bj") + "/views/vehxhhdpub.html"));
    }
};

QTEST_MAIN(RetrievalGuiTest)
#include "retrieval_gui_test.moc"
