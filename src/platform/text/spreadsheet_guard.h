#pragma once
// Every comma-separated file we write may be opened by a spreadsheet, which runs a cell that starts with
// '=', '+', '-' or '@' (or a tab or carriage return before one of them) as a formula, quoted or not. A
// text that came from the tool is therefore written with a leading apostrophe when it starts with one
// of those: the spreadsheet shows the text, and the apostrophe tells a reader why it is there. Texts we
// compose ourselves (labels, numbers, times) never need it. Pure; any thread; UTF-8 or UTF-16.
#include <string>

template <class Char>
bool StartsLikeAFormula(const std::basic_string<Char>& cell) {
    if (cell.empty()) return false;
    const Char first = cell.front();
    return first == Char('=') || first == Char('+') || first == Char('-') || first == Char('@') ||
           first == Char('\t') || first == Char('\r');
}

template <class Char>
std::basic_string<Char> GuardSpreadsheetCell(const std::basic_string<Char>& cell) {
    return StartsLikeAFormula(cell) ? Char('\'') + cell : cell;
}
