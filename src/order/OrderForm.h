#pragma once

#include <QString>

#include <array>

namespace velmora::order {

// Selected index of each list that submission may learn from: the 0-based entry chosen, or -1
// when the edit text was typed rather than chosen.
struct ListIndexes {
    int account = 0;                 // Combo1
    int project = 0;                 // Combo2
    std::array<int, 5> recipients{}; // Combo4 .. Combo8
};

// The main window's order as its fields hold it, read once when the submission starts. A list's
// value is its edit text.
struct OrderForm {
    QString statusLine;                      // Text23
    QString date;                            // Text24
    QString account;                         // Combo1
    QString project;                         // Combo2
    QString printShop;                       // Combo3
    std::array<QString, 5> recipients;       // Combo4 .. Combo8
    QString orderer;                         // text1
    QString telephone;                       // Text2
    std::array<QString, 5> fileNames;        // Text3, Text5, Text7, Text9, Text11
    std::array<QString, 5> quantities;       // Text4, Text6, Text8, Text10, Text12
    std::array<QString, 5> colourCopies;     // Text13 .. Text17
    std::array<QString, 5> blackWhiteCopies; // Text18 .. Text22
    std::array<QString, 5> copyTypes;        // Combo9 .. Combo13
    QString handledFor;                      // Text28
    ListIndexes indexes;
};

} // namespace velmora::order
