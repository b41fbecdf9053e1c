// The warning texts as the product must ship them, one column per language,
// written out independently of the resource script so that tests compare the
// built resources and the loaded strings against them.
#pragma once

#include <windows.h>

#include <array>
#include <ostream>
#include <stdexcept>
#include <string>

struct LanguageColumn {
    const char* name;
    WORD language;                          // as stored in the string table
    std::array<std::u16string, 7> texts;    // ids 101 to 107
};

inline const std::array<LanguageColumn, 7>& ExpectedColumns() {
    static const std::array<LanguageColumn, 7> columns = {{
        {"English_UK", 2057,
         {u"Corvane Tessaline", u"Encryption is not supported in case sensitive folders",
          u"Refer to KB31415 for more details", u"Path:", u"Show this warning again",
          u"Never show this warning again", u"Dismiss"}},
        {"German", 7,
         {u"Corvane Tessaline",
          u"Verschl\u00fcsselung ist in auf Gro\u00df-/Kleinschreibung basierenden Ordnern nicht unterst\u00fctzt",
          u"Weitere Informationen finden Sie in KB31415.", u"Pfad:", u"Diese Warnung erneut anzeigen",
          u"Diese Warnung nicht mehr anzeigen", u"Schlie\u00dfen"}},
        {"Spanish", 10,
         {u"Corvane Tessaline",
          u"No se admite el cifrado en las carpetas que distinguen entre may\u00fasculas y min\u00fasculas",
          u"Para obtener m\u00e1s detalles, consulte el art\u00edculo KB31415.", u"Ruta:",
          u"Volver a mostrar esta advertencia", u"No volver a mostrar esta advertencia", u"Descartar"}},
        {"French", 12,
         {u"Corvane Tessaline",
          u"Le chiffrement dans les dossiers sensibles \u00e0 la casse n\u0027est pas pris en charge",
          u"Pour plus d\u0027informations, consultez l\u0027article KB31415", u"Chemin d\u0027acc\u00e8s :",
          u"Afficher de nouveau cet avertissement", u"Ne plus afficher cet avertissement", u"Ignorer"}},
        {"Japanese", 17,
         {u"Corvane Tessaline",
          u"\u6697\u53f7\u5316\u306f\u3001\u5927\u6587\u5b57\u3068\u5c0f\u6587\u5b57\u3092\u533a\u5225\u3059\u308b"
          u"\u30d5\u30a9\u30eb\u30c0\u30fc\u3067\u306f\u30b5\u30dd\u30fc\u30c8\u3055\u308c\u3066\u3044\u307e\u305b\u3093",
          u"\u8a73\u7d30\u306b\u3064\u3044\u3066\u306f\u3001KB31415 \u3092\u53c2\u7167\u3057\u3066\u304f\u3060\u3055\u3044",
          u"\u30d1\u30b9:", u"\u3053\u306e\u8b66\u544a\u3092\u518d\u5ea6\u8868\u793a\u3059\u308b",
          u"\u3053\u306e\u8b66\u544a\u3092\u4eca\u5f8c\u8868\u793a\u3057\u306a\u3044", u"\u89e3\u9664"}},
        {"Polish", 21,
         {u"Corvane Tessaline", u"Szyfrowanie nie jest obs\u0142ugiwane w przypadku poufnych folder\u00f3w.",
          u"Patrz artyku\u0142 KB31415, aby uzyska\u0107 wi\u0119cej informacji", u"\u015acie\u017cka:",
          u"Poka\u017c to ostrze\u017cenie ponownie", u"Nie pokazuj tego ostrze\u017cenia ponownie",
          u"Odrzu\u0107"}},
        {"Chinese_PRC", 2052,
         {u"Corvane Tessaline", u"\u52a0\u5bc6\u5728\u533a\u5206\u5927\u5c0f\u5199\u7684\u6587\u4ef6\u5939\u4e2d\u4e0d\u53d7\u652f\u6301",
          u"\u6709\u5173\u8be6\u7ec6\u4fe1\u606f\uff0c\u8bf7\u53c2\u9605 KB31415", u"\u8def\u5f84:",
          u"\u518d\u6b21\u663e\u793a\u6b64\u8b66\u544a", u"\u4e0d\u518d\u663e\u793a\u6b64\u8b66\u544a",
          u"\u5ffd\u7565"}},
    }};
    return columns;
}

inline const LanguageColumn& Column(const char* name) {
    for (const LanguageColumn& column : ExpectedColumns()) {
        if (std::string(column.name) == name) return column;
    }
    throw std::invalid_argument(name);
}

inline void PrintTo(const LanguageColumn& column, std::ostream* out) { *out << column.name; }
