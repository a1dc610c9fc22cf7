// Keyword colouring of assembler source, one text block (line) at a time, so
// that an edit recolours only the lines it touches and a large file costs
// nothing until its lines are shown.
//
// A line is cut into tokens at spaces, tabs, commas and carriage returns;
// each token takes the colour of its keyword class (mnemonics and register
// operands blue, SFR names red, bit names magenta, directives brown,
// anything else black). From ";" to the end of the line is a comment, green.
// In an assembler listing the line number, address and object-code columns
// before the source stay black: an object byte F0 is not the bit F0.
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
    // The document is an asm51 listing (its source from column 28 on).
    void setListing(bool listing);
    // The column where a listing line's source begins.
    static constexpr int kListingSourceColumn = 28;

protected:
    void highlightBlock(const QString& text) override;

private:
    bool listing_ = false;
};

} // namespace quorvel::shell
