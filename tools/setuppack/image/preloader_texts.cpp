#include "image/preloader_texts.h"

#include "base/code_page.h"

const char* const TEXT_KEYS[7] = {"WaitingTitle",       "FailedTitle",       "DecodeError",
                                  "ArchiveMissing",     "NotBoundContainer", "NoStagingDirectory",
                                  "InstallerNotStarted"};
const char* const TEXT_LANGUAGES[7] = {"de", "en", "fr", "es", "it", "nl", "ja"};

namespace {

constexpr std::size_t BLOCK_STRINGS = 16;

// The built-in sets but German, in the order of TEXT_KEYS.
const char16_t* const SETS[6][7] = {
    {u"Please wait. Preparing the installation...", u"Installation not possible", u"Error while decoding!",
     u"The installation data was not found:", u"The installation data does not belong to this setup program:",
     u"No safe directory could be made for the installation:",
     u"The installation program could not be started:"},
    {u"Veuillez patienter. Pr\u00E9paration de l'installation...", u"Installation impossible",
     u"Erreur de d\u00E9codage !", u"Les donn\u00E9es d'installation sont introuvables :",
     u"Les donn\u00E9es d'installation n'appartiennent pas \u00E0 ce programme d'installation :",
     u"Impossible de cr\u00E9er un dossier s\u00FBr pour l'installation :",
     u"Le programme d'installation n'a pas pu \u00EAtre d\u00E9marr\u00E9 :"},
    {u"Espere, por favor. Preparando la instalaci\u00F3n...", u"No es posible instalar",
     u"\u00A1Error al descodificar!", u"No se encontraron los datos de instalaci\u00F3n:",
     u"Los datos de instalaci\u00F3n no pertenecen a este programa de instalaci\u00F3n:",
     u"No se pudo crear un directorio seguro para la instalaci\u00F3n:",
     u"No se pudo iniciar el programa de instalaci\u00F3n:"},
    {u"Attendere prego. Preparazione dell'installazione...", u"Installazione non possibile",
     u"Errore durante la decodifica!", u"I dati di installazione non sono stati trovati:",
     u"I dati di installazione non appartengono a questo programma di installazione:",
     u"Impossibile creare una cartella sicura per l'installazione:",
     u"Impossibile avviare il programma di installazione:"},
    {u"Even geduld. Installatie wordt voorbereid...", u"Installatie niet mogelijk",
     u"Fout bij het decoderen!", u"De installatiegegevens zijn niet gevonden:",
     u"De installatiegegevens horen niet bij dit installatieprogramma:",
     u"Er kon geen veilige map voor de installatie worden gemaakt:",
     u"Het installatieprogramma kon niet worden gestart:"},
    {u"\u304A\u5F85\u3061\u304F\u3060\u3055\u3044\u3002\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB\u3092\u6E96\u5099"
     u"\u3057\u3066\u3044\u307E\u3059...",
     u"\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB\u3067\u304D\u307E\u305B\u3093",
     u"\u30C7\u30B3\u30FC\u30C9\u4E2D\u306B\u30A8\u30E9\u30FC\u304C\u767A\u751F\u3057\u307E\u3057\u305F!",
     u"\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB "
     u"\u30C7\u30FC\u30BF\u304C\u898B\u3064\u304B\u308A\u307E\u305B\u3093:",
     u"\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB "
     u"\u30C7\u30FC\u30BF\u306F\u3053\u306E\u30BB\u30C3\u30C8\u30A2\u30C3"
     u"\u30D7 \u30D7\u30ED\u30B0\u30E9\u30E0\u306E\u3082\u306E\u3067\u306F\u3042\u308A\u307E\u305B\u3093:",
     u"\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB\u7528\u306E\u5B89\u5168\u306A\u30D5\u30A9\u30EB\u30C0\u30FC\u3092"
     u"\u4F5C\u6210\u3067\u304D\u307E\u305B\u3093\u3067\u3057\u305F:",
     u"\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB "
     u"\u30D7\u30ED\u30B0\u30E9\u30E0\u3092\u958B\u59CB\u3067\u304D\u307E"
     u"\u305B\u3093\u3067\u3057\u305F:"},
};

// The block's 16 strings; false when it is cut short.
bool SplitBlock(const ImageBytes& block, std::vector<std::u16string>& strings) {
  strings.assign(BLOCK_STRINGS, std::u16string());
  std::size_t at = 0;
  for (std::size_t i = 0; i < BLOCK_STRINGS && at < block.size(); ++i) {
    const std::size_t length = Get16(block, at);
    if (!Inside(block, at + 2, 2 * static_cast<std::uint64_t>(length))) return false;
    for (std::size_t c = 0; c < length; ++c)
      strings[i].push_back(static_cast<char16_t>(Get16(block, at + 2 + 2 * c)));
    at += 2 + 2 * length;
  }
  return true;
}

}  // namespace

VersionFault ParseTexts(const std::string& language, const std::vector<std::string>& assignments,
                        PreloaderTexts& texts, std::string& why) {
  texts.clear();
  std::size_t set = 0;
  while (set < 7 && language != TEXT_LANGUAGES[set]) ++set;
  if (!language.empty() && set == 7) {
    why = "--language " + language + ": no such set; the languages are de, en, fr, es, it, nl and ja";
    return VersionFault::Usage;
  }
  if (!language.empty() && set > 0)
    for (std::uint16_t id = 1; id <= 7; ++id) texts.push_back({id, SETS[set - 1][id - 1]});
  VersionStrings given;
  const VersionFault fault = ParseAssignments("--text", std::vector<std::string>(TEXT_KEYS, TEXT_KEYS + 7),
                                              TEXT_VALUE_LIMIT, assignments, given, why);
  if (fault != VersionFault::None) return fault;
  for (const auto& text : given)
    for (std::uint16_t id = 1; id <= 7; ++id)
      if (text.first == TEXT_KEYS[id - 1]) texts.push_back({id, text.second});
  return VersionFault::None;
}

ImageBytes StringBlockWith(const ImageBytes& block, const PreloaderTexts& texts) {
  std::vector<std::u16string> strings;
  if (!SplitBlock(block, strings)) strings.assign(BLOCK_STRINGS, std::u16string());
  for (const auto& text : texts) strings[text.first] = text.second;  // later ones over earlier
  ImageBytes out;
  for (const std::u16string& s : strings) {
    Append16(out, static_cast<std::uint32_t>(s.size()));
    for (char16_t c : s) Append16(out, c);
  }
  return out;
}

bool ReadTexts(const ImageBytes& block, std::vector<std::pair<std::string, std::u16string>>& texts) {
  texts.clear();
  std::vector<std::u16string> strings;
  if (!SplitBlock(block, strings)) return false;
  for (std::uint16_t id = 1; id <= 7; ++id)
    if (!strings[id].empty()) texts.push_back({TEXT_KEYS[id - 1], strings[id]});
  return true;
}
