// Keyword colouring of assembler source, one text block (line) at a time, so
// that an edit recolours only the lines it touches and a large file costs
// nothing until its lines are shown.
//
// A line is cut into tokens at spaces, tabs, commas and carriage returns;
// each token takes the colour of its keyword class (mnemonics and register
// operands blue, SFR names red, bit names magenta, directives brown,
// anything else black). From ";" to the end of the line is a comment, green.
#pragma once

#include "tools/keyword_classes.h"

#include <QColor>
#include <QSyntaxHighlighter>

namespace quorvel::shell {

QColor keywordColour(KeywordClass keywordClass);
inline const QColor kCommentColour(0, 128, 0);

class SourceHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit SourceHighlighter(QTextDocument* document);

protected:
    void highlightBlock(const QString& text) override;
};

} // namespace quorvel::shell
