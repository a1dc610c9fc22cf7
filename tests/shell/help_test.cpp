// Help Topics: the contents open in one window of the frame, every page
// reached by the links loads with a title, no link or picture is broken, and
// every menu command and demonstration is described. A frame without help
// pages reports it. With QUORVEL_SCREENSHOT_DIR set, help.png is saved.
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSet>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QtTest>

#include <map>

using namespace quorvel;
using namespace quorvel::shell;
using namespace shelltest;

namespace {

struct Page {
    QString title;
    QString text;
    QList<QUrl> links;  // resolved against the page
    QList<QUrl> images; // resolved against the page
    QSet<QString> anchors;
};

// Shows `url` in the browser, as following a link does, and collects what the
// page holds.
Page showPage(QTextBrowser* browser, const QUrl& url) {
    browser->setSource(url);
    const QTextDocument* document = browser->document();
    Page page;
    page.title = document->metaInformation(QTextDocument::DocumentTitle);
    page.text = document->toPlainText();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat()) page.images << url.resolved(QUrl(format.toImageFormat().name()));
            if (!format.isAnchor()) continue;
            if (!format.anchorHref().isEmpty()) page.links << url.resolved(QUrl(format.anchorHref()));
            for (const QString& name : format.anchorNames()) page.anchors.insert(name);
        }
    return page;
}

QUrl withoutFragment(QUrl url) {
    url.setFragment(QString());
    return url;
}

// A menu text as the help names it: without the "&" marks and the key.
QString plainMenuText(const char* menuText) {
    return QString::fromLatin1(menuText).section('\t', 0, 0).remove('&').trimmed();
}

} // namespace

class HelpTest : public QObject {
    Q_OBJECT
private slots:
    void everyPageLoadsWithNoBrokenLinkOrPicture();
    void missingPagesAreReported();
};

// Chosen twice, Help Topics opens the contents in one window of the frame.
// From there every link is followed, page by page.
void HelpTest::everyPageLoadsWithNoBrokenLinkOrPicture() {
    StartedFrame started;
    Frame& frame = started.frame;
    frame.menuAction(id::HelpTopics)->trigger();
    frame.menuAction(id::HelpTopics)->trigger();
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 1);
    QMdiSubWindow* window = frame.mdiArea()->activeSubWindow();
    QVERIFY(window);
    auto* browser = window->findChild<QTextBrowser*>("HelpBrowser");
    QVERIFY(browser);
    auto* back = window->findChild<QPushButton*>("helpBack");
    QVERIFY(back && !back->isEnabled());
    QCOMPARE(browser->documentTitle(), QString("Quorvel Simulator Help"));
    QVERIFY(started.messages.shown.empty());
    window->resize(760, 560);
    QVERIFY(saveScreenshot(window, "help.png"));

    const QUrl contents = browser->source();
    const QDir helpDir = QFileInfo(contents.toLocalFile()).dir();

    std::map<QString, Page> pages; // by file path
    QList<QUrl> toVisit{contents};
    while (!toVisit.isEmpty()) {
        const QUrl url = withoutFragment(toVisit.takeFirst());
        const QString path = url.toLocalFile();
        if (pages.count(path)) continue;
        QVERIFY2(url.isLocalFile() && QFileInfo(path).isFile(), qPrintable("no page " + url.toString()));
        Page page = showPage(browser, url);
        QVERIFY2(!page.title.isEmpty(), qPrintable(path + " has no title"));
        QVERIFY2(page.text.size() > 100, qPrintable(path + " is nearly empty"));
        for (const QUrl& image : page.images) {
            QVERIFY2(image.isLocalFile() && image.toLocalFile().startsWith(helpDir.absolutePath()),
                     qPrintable(path + ": picture outside the help folder " + image.toString()));
            QVERIFY2(!QImage(image.toLocalFile()).isNull(),
                     qPrintable(path + ": picture not found " + image.toString()));
        }
        toVisit << page.links;
        pages.emplace(path, std::move(page));
    }

    // Back returns along the pages shown, to the contents at last.
    QVERIFY(back->isEnabled());
    while (back->isEnabled()) back->click();
    QCOMPARE(browser->source(), contents);

    // Every link ends on a page of the help, at an anchor that page has.
    for (const auto& [path, page] : pages)
        for (const QUrl& link : page.links) {
            const auto target = pages.find(withoutFragment(link).toLocalFile());
            QVERIFY2(target != pages.end(), qPrintable(path + ": link to " + link.toString()));
            QVERIFY2(!link.hasFragment() || target->second.anchors.contains(link.fragment()),
                     qPrintable(path + ": no anchor for " + link.toString()));
        }

    // No page is left out of the links, and the pages were really shown.
    for (const QFileInfo& file : helpDir.entryInfoList({"*.html"}, QDir::Files))
        QVERIFY2(pages.count(file.absoluteFilePath()), qPrintable(file.fileName() + " is not linked"));
    QVERIFY(pages.size() >= 20);

    // Every command of the menus and every demonstration is described.
    QString allText;
    for (const auto& entry : pages)
        allText += entry.second.text + "\n";
    for (const CommandInfo& command : commandTable()) {
        const QString text = plainMenuText(command.menuText);
        if (!text.isEmpty()) QVERIFY2(allText.contains(text), qPrintable("nothing about " + text));
    }
    for (const char* demo : demoTexts())
        QVERIFY2(allText.contains(QString::fromLatin1(demo)), demo);
}

void HelpTest::missingPagesAreReported() {
    QTemporaryDir empty;
    RecordedMessages messages;
    Frame frame(messages, {}, empty.path());
    frame.dispatch(id::HelpTopics);
    QCOMPARE(messages.shown.size(), size_t(1));
    QCOMPARE(messages.shown.front().title, std::string("ERROR"));
    QCOMPARE(messages.shown.front().text,
             std::string("Error: Help File Not Found or\nRequires Internet explorer with version 4.0"));
    QVERIFY(frame.mdiArea()->subWindowList().isEmpty());
}

QTEST_MAIN(HelpTest)
#include "help_test.moc"
