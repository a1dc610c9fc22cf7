#include "shell/editor/source_highlighter.h"

namespace quorvel::shell {

QColor keywordColour(KeywordClass keywordClass) {
    switch (keywordClass) {
    case KeywordClass::Mnemonic:
    case KeywordClass::Register: return QColor(0, 0, 255);
    case KeywordClass::Sfr: return QColor(255, 0, 0);
    case KeywordClass::Bit: return QColor(255, 0, 255);
    case KeywordClass::Directive: return QColor(139, 69, 19);
    case KeywordClass::Other: break;
    }
    return QColor(0, 0, 0);
}

SourceHighlighter::SourceHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void SourceHighlighter::setListing(bool listing) {
    if (listing == listing_) return;
    listing_ = listing;
    rehighlight();
}

void SourceHighlighter::highlightBlock(const QString& text) {
    // Black is the document's own colour: only keywords and the comment get
    // a format.
    auto colourToken = [this, &text](qsizetype start, qsizetype end) {
        if (end <= start) return;
        const QByteArray word = text.mid(start, end - start).toLatin1();
        const KeywordClass kind = classifyKeyword(std::string_view(word.constData(), size_t(word.size())));
        if (kind != KeywordClass::Other) setFormat(int(start), int(end - start), keywordColour(kind));
    };
    qsizetype tokenStart = 0;
    // A listing line begins with its line number; the columns up to the
    // source hold numbers only.
    if (listing_ && !text.isEmpty() && !text.trimmed().isEmpty() && text.trimmed().front().isDigit())
        tokenStart = std::min<qsizetype>(kListingSourceColumn, text.size());
    for (qsizetype i = tokenStart; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == ';') {
            colourToken(tokenStart, i);
            setFormat(int(i), int(text.size() - i), kCommentColour);
            return;
        }
        if (c == ' ' || c == '\t' || c == ',' || c == '\r') {
            colourToken(tokenStart, i);
            tokenStart = i + 1;
        }
    }
    colourToken(tokenStart, text.size());
}

} // namespace quorvel::shell
