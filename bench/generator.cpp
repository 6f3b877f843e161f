// The benchmarks' list generator: contact records with the faults the
// cleaning tools exist for.
//
// Each row j is a pure function of (seed, j): its own random stream decides
// first whether the row is fresh, an exact copy of an earlier row, or a copy
// with one letter of FirstName, LastName or City changed, and then draws the
// fresh values. A copy regenerates its earlier row from that row's stream, so
// copies can point anywhere back in the list without keeping any row in
// memory; copies always point at a fresh row, so an exact duplicate equals
// its original and a misspelling is one letter away from it. Cost: one fresh
// row per row, plus one more for each copy.
//
// The random numbers come from our own xoshiro256** (seeded by splitmix64)
// and our own range reduction, because the standard distributions differ
// between library versions and the same seed must give the same file.
#include "generator.h"

#include <QHash>
#include <QSaveFile>

#include <cmath>
#include <cstring>
#include <vector>

namespace bench {

namespace {

enum Col { Title, FirstName, LastName, Company, Address, City, State, Zip, Country, Phone, Email, Notes, ColumnCount };

// ---------------------------------------------------------------------------
// Random numbers

quint64 splitmix(quint64& x)
{
    quint64 z = (x += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

class Rng {
public:
    explicit Rng(quint64 seed)
    {
        for (auto& w : s_)
            w = splitmix(seed);
    }

    quint64 next()
    {
        const quint64 result = rotl(s_[1] * 5, 7) * 9;
        const quint64 t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }

    /// 0 <= result < n (n > 0); multiply-shift, no modulo bias worth noting.
    quint64 below(quint64 n) { return quint64((static_cast<unsigned __int128>(next()) * n) >> 64); }
    int below(int n) { return static_cast<int>(below(static_cast<quint64>(n))); }
    int range(int lo, int hi) { return lo + below(hi - lo + 1); }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    bool chance(double p) { return unit() < p; }
    /// Percent test, for the many fixed small shares below.
    bool pct(int p) { return below(100) < p; }

    template <typename T>
    const T& pick(const std::vector<T>& v) { return v[static_cast<size_t>(below(static_cast<quint64>(v.size())))]; }
    const QString& pick(const QStringList& v) { return v[below(static_cast<int>(v.size()))]; }

private:
    static quint64 rotl(quint64 x, int k) { return (x << k) | (x >> (64 - k)); }
    quint64 s_[4];
};

Rng rowRng(quint64 seed, qint64 row)
{
    quint64 x = seed * 0xD1B54A32D192ED03ULL + static_cast<quint64>(row);
    return Rng(splitmix(x) ^ seed);
}

// ---------------------------------------------------------------------------
// Text helpers

QStringList split(const char* utf8) { return QString::fromUtf8(utf8).split(QLatin1Char('|')); }

/// Lower-case ASCII letters and digits of s, accents dropped: the part of a
/// name that goes into an e-mail account or a domain.
QString fold(const QString& s)
{
    const QString d = s.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(d.size());
    for (QChar c : d) {
        const char16_t u = c.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9'))
            out += c;
        else if (u >= 'A' && u <= 'Z')
            out += QChar(u + 32);
        else if (u == 0x00DF)
            out += QLatin1String("ss");
        else if (u == 0x00F8 || u == 0x00D8)
            out += QLatin1Char('o');
        else if (u == 0x0142 || u == 0x0141)
            out += QLatin1Char('l');
        else if (u == 0x00E6 || u == 0x00C6)
            out += QLatin1String("ae");
    }
    return out;
}

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

QString digits(Rng& rng, int n)
{
    QString s(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        s[i] = QChar('0' + rng.below(10));
    return s;
}

QChar letter(Rng& rng, const char* set)
{
    return QLatin1Char(set[rng.below(static_cast<int>(std::strlen(set)))]);
}

// ---------------------------------------------------------------------------
// Pools

struct Name {
    QString text;
    QString ascii; // fold(text); empty never
};

std::vector<Name> names(const char* utf8)
{
    std::vector<Name> out;
    for (const QString& s : split(utf8))
        out.push_back({s, fold(s)});
    return out;
}

enum class Form { US, CA, UK, IE, DE, NL, FR };

struct Place {
    QString city;
    QString state; // US state or Canadian province code, UK county; may be empty
    QString code;  // the fixed start of the postal code
};

struct Land {
    Form form;
    int weight; // per 1000 rows
    QStringList countryNames; // the first is the usual spelling
    std::vector<Place> places;
    QStringList freeMail;
    QStringList companyTlds;
    QStringList streets;
    QStringList companySuffixes;
};

std::vector<Place> places(const char* utf8)
{
    std::vector<Place> out;
    for (const QString& entry : split(utf8)) {
        const QStringList p = entry.split(QLatin1Char(';'));
        out.push_back({p.value(0), p.value(1), p.value(2)});
    }
    return out;
}

struct Pools {
    std::vector<Name> male, female, last;
    std::vector<Land> lands;
    QStringList usStreetTypes, unitForms, companyWords, companyTrades, notes;
    QStringList maleTitles, femaleTitles;
    QStringList misspeltFreeMail, badTlds, roleAccounts;
    QHash<QString, QString> stateNames;
};

const Pools& pools()
{
    static const Pools p = [] {
        Pools p;
        p.male = names(
            "James|John|Robert|Michael|William|David|Richard|Joseph|Thomas|Charles|Christopher|Daniel|"
            "Matthew|Anthony|Mark|Donald|Steven|Paul|Andrew|Joshua|Kenneth|Kevin|Brian|George|Timothy|"
            "Ronald|Edward|Jason|Jeffrey|Ryan|Jacob|Gary|Nicholas|Eric|Jonathan|Stephen|Larry|Justin|"
            "Scott|Brandon|Benjamin|Samuel|Gregory|Frank|Patrick|Raymond|Jack|Dennis|Jerry|Tyler|Aaron|"
            "Peter|Harold|Douglas|Henry|Carl|Arthur|Walter|Roger|Keith|Lawrence|Terry|Sean|Christian|"
            "José|Juan|Luis|Carlos|Jesús|André|René|François|Jérôme|Jürgen|Søren|Björn|Zoltán|Łukasz|"
            "Seán|Ciarán|Pádraig|Liam|Hans|Klaus|Pieter|Jan|Joost|Henri|Émile|Mohammed|Wei|Hiroshi|Raj|"
            "Angus|Hamish|Declan|Niall|Ruairí|Günter|Maximilian|Thijs|Bram|Mathieu");
        p.female = names(
            "Mary|Patricia|Jennifer|Linda|Elizabeth|Barbara|Susan|Jessica|Sarah|Karen|Lisa|Nancy|Betty|"
            "Margaret|Sandra|Ashley|Kimberly|Emily|Donna|Michelle|Carol|Amanda|Dorothy|Melissa|Deborah|"
            "Stephanie|Rebecca|Sharon|Laura|Cynthia|Kathleen|Amy|Angela|Shirley|Anna|Brenda|Pamela|Emma|"
            "Nicole|Helen|Samantha|Katherine|Christine|Debra|Rachel|Carolyn|Janet|Catherine|Maria|"
            "Heather|Diane|Julie|Joyce|Victoria|Kelly|Christina|Joan|Evelyn|Lauren|Judith|Olivia|Grace|"
            "Zoë|Chloé|Renée|Françoise|Siobhán|Aoife|Niamh|Mária|Ingrid|Greta|Anke|Sophie|Élodie|Inès|"
            "Beatriz|María|Lucía|Mei|Priya|Ann-Marie|Mary Jo|Orla|Sinéad|Brigitte|Jördis|Femke|Sanne|"
            "Amélie|Margot|Isla|Fiona|Morag|Ewa|Agnieszka");
        p.last = names(
            "Smith|Johnson|Williams|Brown|Jones|Garcia|Miller|Davis|Rodriguez|Martinez|Hernandez|Lopez|"
            "Gonzalez|Wilson|Anderson|Thomas|Taylor|Moore|Jackson|Martin|Lee|Perez|Thompson|White|"
            "Harris|Sanchez|Clark|Ramirez|Lewis|Robinson|Walker|Young|Allen|King|Wright|Scott|Torres|"
            "Nguyen|Hill|Flores|Green|Adams|Nelson|Baker|Hall|Rivera|Campbell|Mitchell|Carter|Roberts|"
            "Gomez|Phillips|Evans|Turner|Diaz|Parker|Cruz|Edwards|Collins|Reyes|Stewart|Morris|Morales|"
            "Murphy|Cook|Rogers|Gutierrez|Ortiz|Morgan|Cooper|Peterson|Bailey|Reed|Kelly|Howard|Ramos|"
            "Kim|Cox|Ward|Richardson|Watson|Brooks|Chavez|Wood|James|Bennett|Gray|Mendoza|Ruiz|Hughes|"
            "Price|Alvarez|Castillo|Sanders|Patel|Myers|Long|Ross|Foster|Jimenez|Fischer|Weber|Meyer|"
            "McDonald|McCarthy|McKenzie|McLaughlin|McGregor|McAllister|McBride|McCormick|McIntyre|"
            "MacDonald|MacLeod|MacKenzie|MacArthur|MacMillan|MacGregor|Mackey|Macy|Mack|"
            "O'Brien|O'Connor|O'Neill|O'Sullivan|O'Reilly|O'Donnell|O'Hara|O'Malley|"
            "van der Berg|van der Meer|van der Linden|Van Der Sar|van Dijk|van den Bosch|de Vries|"
            "de Jong|de la Cruz|De Luca|Di Marco|D'Angelo|von Trapp|Smith-Jones|Lloyd-Webber|"
            "Müller|Schröder|Weiß|Jäger|Zürcher|Núñez|Peña|García|Lefèvre|Bérubé|Gagné|Dubois|"
            "Ólafsson|Dvořák|Wiśniewski|Nowak|Kowalski|Søndergaard|Åberg|Nilsson|Nakamura|Chen|Wang|"
            "Singh|Kumar|Fitzgerald|St. John|Le Blanc|Ó Briain");

        p.lands.push_back(
            {Form::US, 780, split("USA|United States|US|U.S.A.|United States of America"),
             places("Boston;MA;021|Cambridge;MA;021|Worcester;MA;016|Springfield;MA;011|"
                    "Providence;RI;029|Hartford;CT;061|New Haven;CT;065|Portland;ME;041|"
                    "Bangor;ME;044|Burlington;VT;054|Manchester;NH;031|Newark;NJ;071|"
                    "Trenton;NJ;086|Jersey City;NJ;073|Princeton;NJ;085|New York;NY;100|"
                    "Brooklyn;NY;112|Buffalo;NY;142|Philadelphia;PA;191|Pittsburgh;PA;152|"
                    "Baltimore;MD;212|Washington;DC;200|Richmond;VA;232|Atlanta;GA;303|"
                    "Miami;FL;331|Orlando;FL;328|Chicago;IL;606|Detroit;MI;482|Cleveland;OH;441|"
                    "Columbus;OH;432|Indianapolis;IN;462|Milwaukee;WI;532|Minneapolis;MN;554|"
                    "St. Louis;MO;631|Kansas City;MO;641|O'Fallon;MO;633|Dallas;TX;752|"
                    "Houston;TX;770|Austin;TX;787|San Antonio;TX;782|McAllen;TX;785|Denver;CO;802|"
                    "Phoenix;AZ;850|Salt Lake City;UT;841|Las Vegas;NV;891|Los Angeles;CA;900|"
                    "San Diego;CA;921|San Francisco;CA;941|San Jose;CA;951|Sacramento;CA;958|"
                    "Portland;OR;972|Seattle;WA;981|Spokane;WA;992|Honolulu;HI;968|"
                    "Anchorage;AK;995|New Orleans;LA;701|Nashville;TN;372|Memphis;TN;381|"
                    "Charlotte;NC;282|Raleigh;NC;276|Louisville;KY;402|Albuquerque;NM;871|"
                    "Boise;ID;837|Omaha;NE;681|Des Moines;IA;503|Oklahoma City;OK;731|"
                    "Little Rock;AR;722|Birmingham;AL;352|Jackson;MS;392|Charleston;SC;294|"
                    "Wilmington;DE;198|Fargo;ND;581|Sioux Falls;SD;571|Cheyenne;WY;820|"
                    "Billings;MT;591|Charleston;WV;253|McKeesport;PA;151|MacArthur;WV;258"),
             split("gmail.com|yahoo.com|hotmail.com|aol.com|outlook.com|icloud.com|comcast.net|"
                   "verizon.net|att.net|msn.com|sbcglobal.net|earthlink.net"),
             split("com|com|com|com|net|org|biz|info|us"),
             split("Main|Oak|Maple|Elm|Washington|Lake|Hill|Park|Pine|Cedar|Church|Mill|River|Spring|"
                   "Ridge|Sunset|Highland|MacArthur|O'Connor|Martin Luther King Jr|Lincoln|Jefferson|"
                   "Chestnut|Walnut|Center|Franklin|Madison|Broad|Market|Union|Prospect|Willow"),
             split("Inc|Inc.|LLC|Corp|Corp.|Co.|Company|Group|")});
        p.lands.push_back(
            {Form::CA, 40, split("Canada|CA|CANADA"),
             places("Toronto;ON;M|Ottawa;ON;K|Montréal;QC;H|Québec;QC;G|Vancouver;BC;V|"
                    "Calgary;AB;T|Edmonton;AB;T|Winnipeg;MB;R|Halifax;NS;B|St. John's;NL;A"),
             split("gmail.com|yahoo.ca|hotmail.com|rogers.com|shaw.ca|sympatico.ca|bell.net"),
             split("ca|ca|com"),
             split("King|Queen|Yonge|Bloor|Wellington|Sainte-Catherine|Saint-Denis|Granville|Robson|"
                   "Portage|Jasper|MacLeod"),
             split("Inc.|Ltd.|Ltée|Corp.|")});
        p.lands.push_back(
            {Form::UK, 80, split("United Kingdom|UK|England|Great Britain|Scotland"),
             places("London;;SW|London;;SE|London;;N|London;;E|London;;W|London;;NW|London;;EC|"
                    "Manchester;Greater Manchester;M|Birmingham;West Midlands;B|Leeds;West Yorkshire;LS|"
                    "Glasgow;;G|Edinburgh;Midlothian;EH|Bristol;Avon;BS|Liverpool;Merseyside;L|"
                    "Cardiff;South Glamorgan;CF|Belfast;County Antrim;BT|Newcastle upon Tyne;Tyne and Wear;NE|"
                    "Stratford-upon-Avon;Warwickshire;CV|King's Lynn;Norfolk;PE|Aberdeen;Aberdeenshire;AB"),
             split("btinternet.com|yahoo.co.uk|hotmail.co.uk|gmail.com|sky.com|virginmedia.com|"
                   "talktalk.net|ntlworld.com"),
             split("co.uk|co.uk|com|org.uk"),
             split("High Street|Station Road|Church Lane|Victoria Road|Green Lane|Manor Road|Park Avenue|"
                   "Queen's Road|King Street|Mill Lane|The Crescent|St. Mary's Close|Castle Street"),
             split("Ltd|Ltd.|Limited|plc|& Co.|")});
        p.lands.push_back(
            {Form::IE, 30, split("Ireland|Eire|Republic of Ireland"),
             places("Dublin;Co. Dublin;D02|Dublin;Co. Dublin;D04|Dublin;Co. Dublin;D08|Cork;Co. Cork;T12|"
                    "Galway;Co. Galway;H91|Limerick;Co. Limerick;V94|Waterford;Co. Waterford;X91|"
                    "Dún Laoghaire;Co. Dublin;A96|Kilkenny;Co. Kilkenny;R95"),
             split("eircom.net|gmail.com|hotmail.com|yahoo.ie|iol.ie"),
             split("ie|ie|com"),
             split("Main Street|O'Connell Street|Grafton Street|Patrick Street|Shop Street|Church Road|"
                   "Strand Road|Mill Road"),
             split("Ltd|Ltd.|Teoranta|DAC|")});
        p.lands.push_back(
            {Form::DE, 30, split("Germany|Deutschland|DE"),
             places("Berlin;;10|Berlin;;12|Hamburg;;20|München;;80|Köln;;50|Frankfurt am Main;;60|"
                    "Dresden;;01|Leipzig;;04|Düsseldorf;;40|Stuttgart;;70|Chemnitz;;09|Görlitz;;02"),
             split("web.de|gmx.de|t-online.de|gmail.com|freenet.de|posteo.de"),
             split("de|de|com"),
             split("Hauptstraße|Bahnhofstraße|Schillerstraße|Goethestraße|Gartenweg|Lindenallee|"
                   "Schloßplatz|Mühlenweg|Kirchgasse|Am Markt"),
             split("GmbH|GmbH & Co. KG|AG|e.K.|")});
        p.lands.push_back(
            {Form::NL, 20, split("Netherlands|The Netherlands|Nederland|Holland"),
             places("Amsterdam;;10|Rotterdam;;30|Den Haag;;25|Utrecht;;35|Eindhoven;;56|Groningen;;97"),
             split("xs4all.nl|ziggo.nl|kpnmail.nl|gmail.com|hotmail.nl|planet.nl"),
             split("nl|nl|com"),
             split("Kerkstraat|Prinsengracht|Dorpsstraat|Stationsweg|Molenstraat|Julianalaan"),
             split("B.V.|BV|N.V.|")});
        p.lands.push_back(
            {Form::FR, 20, split("France|FR|République française"),
             places("Paris;;750|Lyon;;690|Marseille;;130|Toulouse;;310|Nice;;060|Lille;;590|"
                    "Besançon;;250|Saint-Étienne;;420"),
             split("orange.fr|free.fr|wanadoo.fr|laposte.net|gmail.com|sfr.fr"),
             split("fr|fr|com"),
             split("rue de la République|avenue des Champs-Élysées|boulevard Saint-Michel|rue de la Paix|"
                   "place de l'Église|rue du Général de Gaulle|allée des Tilleuls"),
             split("S.A.|SARL|S.A.S.|")});

        p.usStreetTypes = split("St|St.|Street|Ave|Ave.|Avenue|Rd|Road|Blvd|Dr|Drive|Ln|Lane|Ct|Way|Pl|Ter");
        p.unitForms = split("Apt |Apt. |Suite |Ste |# |Unit |Fl ");
        p.companyWords = split(
            "Acme|Blue Harbor|Northwind|Summit|Pioneer|Evergreen|Silverline|Redwood|Granite|Lakeside|"
            "Riverside|Golden Gate|Keystone|Pinnacle|Atlas|Apex|Liberty|Heritage|Cornerstone|Bluebird|"
            "Trident|Meridian|Horizon|Crescent|Oakridge|Sterling|Harbour|Nordlicht|Étoile|Zenith");
        p.companyTrades = split(
            "Consulting|Solutions|Industries|Logistics|Software|Realty|Insurance|Dental|Marketing|"
            "Design|Foods|Motors|Plumbing|Electric|Construction|Partners|Capital|Labs|Systems|Media|"
            "Travel|Printing|Landscaping|Accounting|Catering");
        p.notes = split(
            "Met at the trade show|Call back next week|Prefers e-mail|Do not call|VIP customer|"
            "Sent catalogue 2023|Asked for \"Bob\"|Moved, new address pending|Referred by J. Smith|"
            "Interested in bulk pricing, follow up|  extra   blanks  here |Newsletter: yes; Mail: no|"
            "Balance due: $120.50|Loyal client since 1998|Wrong number?|Habla español — prefers Spanish|"
            "Order #4471 returned|Gift basket @ Christmas|50% discount agreed|Contact via assistant (Jane)|"
            "Bounced mail 3x|'Preferred' supplier|Tab\there|Duplicate?  check");
        p.maleTitles = split("Mr|Mr.|Mr|Dr|Dr.|Prof.|Rev.|MR");
        p.femaleTitles = split("Mrs|Ms|Ms.|Mrs.|Miss|Dr|Dr.|MS");
        p.misspeltFreeMail = split("gmial.com|gamil.com|gmai.com|hotmial.com|hotmal.com|yaho.com|"
                                   "yahooo.com|outlok.com|aoll.com|comcats.net");
        p.badTlds = split("con|comm|cmo|vom|xom|co|cpm|nte|ogr|ocm|cim|ner");
        p.roleAccounts = split("info|sales|office|support|admin|mail");
        const QStringList states = split(
            "MA;Massachusetts|RI;Rhode Island|CT;Connecticut|ME;Maine|VT;Vermont|NH;New Hampshire|"
            "NJ;New Jersey|NY;New York|PA;Pennsylvania|CA;California|TX;Texas|FL;Florida|IL;Illinois|"
            "WA;Washington|OR;Oregon|MO;Missouri|OH;Ohio|GA;Georgia|ON;Ontario|QC;Québec|BC;British Columbia");
        for (const QString& s : states)
            p.stateNames.insert(s.section(QLatin1Char(';'), 0, 0), s.section(QLatin1Char(';'), 1));
        return p;
    }();
    return p;
}

// ---------------------------------------------------------------------------
// Field builders

enum class Style { Usual, Upper, Lower };

const Land& pickLand(Rng& rng, const Pools& p)
{
    int r = rng.below(1000);
    for (const Land& l : p.lands) {
        if (r < l.weight)
            return l;
        r -= l.weight;
    }
    return p.lands.front();
}

QString country(Rng& rng, const Land& land)
{
    if (rng.pct(3))
        return QString();
    return rng.pct(70) ? land.countryNames.front() : rng.pick(land.countryNames);
}

QString postalCode(Rng& rng, const Land& land, const Place& place)
{
    static const char* ukLetters = "ABDEFGHJLNPQRSTUWXYZ";
    static const char* eirLetters = "ACDEFHKNPRTVWXY0123456789";
    static const char* caLetters = "ABCEGHJKLMNPRSTVWXYZ";
    QString s = place.code;
    switch (land.form) {
    case Form::US:
        s += digits(rng, 2);
        if (rng.pct(8))
            s += QLatin1Char('-') + digits(rng, 4);
        break;
    case Form::CA:
        s += digits(rng, 1) + letter(rng, caLetters) + QLatin1Char(' ') + digits(rng, 1)
             + letter(rng, caLetters) + digits(rng, 1);
        break;
    case Form::UK:
        s += QString::number(rng.range(1, 20)) + QLatin1Char(' ') + digits(rng, 1) + letter(rng, ukLetters)
             + letter(rng, ukLetters);
        break;
    case Form::IE:
        s += QLatin1Char(' ');
        for (int i = 0; i < 4; ++i)
            s += letter(rng, eirLetters);
        break;
    case Form::DE:
        s += digits(rng, 3);
        break;
    case Form::NL:
        s += digits(rng, 2) + QLatin1Char(' ') + letter(rng, "ABCEGHJKLMNPRTVWXZ") + letter(rng, "ABCDEGHJKLMNPRTVWXZ");
        break;
    case Form::FR:
        s += digits(rng, 2);
        break;
    }
    return s;
}

QString phone(Rng& rng, const Land& land)
{
    if (rng.pct(8))
        return QString();
    switch (land.form) {
    case Form::US:
    case Form::CA: {
        const QString a = QString::number(rng.range(201, 989)), b = QString::number(rng.range(200, 999)),
                      c = digits(rng, 4);
        switch (rng.below(6)) {
        case 0: return QLatin1Char('(') + a + QLatin1String(") ") + b + QLatin1Char('-') + c;
        case 1: return a + QLatin1Char('-') + b + QLatin1Char('-') + c;
        case 2: return a + QLatin1Char('.') + b + QLatin1Char('.') + c;
        case 3: return QLatin1String("+1 ") + a + QLatin1Char(' ') + b + QLatin1Char(' ') + c;
        case 4: return a + b + c;
        default: return QLatin1String("1-") + a + QLatin1Char('-') + b + QLatin1Char('-') + c + QLatin1String(" x")
                        + QString::number(rng.range(10, 999));
        }
    }
    case Form::UK:
        return rng.pct(50) ? QLatin1String("+44 ") + digits(rng, 4) + QLatin1Char(' ') + digits(rng, 6)
                           : QLatin1String("0") + digits(rng, 3) + QLatin1Char(' ') + digits(rng, 3)
                                 + QLatin1Char(' ') + digits(rng, 4);
    case Form::IE:
        return rng.pct(50) ? QLatin1String("+353 1 ") + digits(rng, 3) + QLatin1Char(' ') + digits(rng, 4)
                           : QLatin1String("0") + digits(rng, 2) + QLatin1Char(' ') + digits(rng, 7);
    case Form::DE:
        return rng.pct(50) ? QLatin1String("+49 ") + digits(rng, 2) + QLatin1Char(' ') + digits(rng, 7)
                           : QLatin1String("0") + digits(rng, 3) + QLatin1Char('/') + digits(rng, 6);
    case Form::NL:
        return rng.pct(50) ? QLatin1String("+31 20 ") + digits(rng, 3) + QLatin1Char(' ') + digits(rng, 4)
                           : QLatin1String("0") + digits(rng, 2) + QLatin1Char('-') + digits(rng, 7);
    case Form::FR: {
        QString s = rng.pct(50) ? QLatin1String("+33 ") + QString::number(rng.range(1, 9))
                                : QLatin1String("0") + QString::number(rng.range(1, 9));
        for (int i = 0; i < 4; ++i)
            s += QLatin1Char(' ') + digits(rng, 2);
        return s;
    }
    }
    return QString();
}

QString address(Rng& rng, const Pools& p, const Land& land)
{
    const QString number = QString::number(rng.pct(70) ? rng.range(1, 999) : rng.range(1000, 19999));
    QString s;
    switch (land.form) {
    case Form::US:
    case Form::CA:
        if (rng.pct(3))
            return QLatin1String(rng.pct(50) ? "P.O. Box " : "PO Box ") + QString::number(rng.range(1, 9999));
        s = number + QLatin1Char(' ');
        if (rng.pct(10))
            s += QLatin1String(rng.pct(50) ? "N " : "W. ");
        s += rng.pick(land.streets) + QLatin1Char(' ') + rng.pick(p.usStreetTypes);
        if (rng.pct(12))
            s += (rng.pct(50) ? QLatin1String(", ") : QLatin1String(" ")) + rng.pick(p.unitForms)
                 + QString::number(rng.range(1, 40)) + (rng.pct(30) ? QString(letter(rng, "ABCD")) : QString());
        break;
    case Form::UK:
    case Form::IE:
        s = (rng.pct(10) ? QLatin1String("Flat ") + QString::number(rng.range(1, 12)) + QLatin1String(", ")
                         : QString())
            + QString::number(rng.range(1, 250)) + QLatin1Char(' ') + rng.pick(land.streets);
        break;
    case Form::DE:
    case Form::NL:
        s = rng.pick(land.streets) + QLatin1Char(' ') + QString::number(rng.range(1, 180));
        if (rng.pct(10))
            s += QChar(letter(rng, "ab"));
        break;
    case Form::FR:
        s = QString::number(rng.range(1, 120)) + (rng.pct(10) ? QLatin1String(" bis ") : QLatin1String(" "))
            + rng.pick(land.streets);
        break;
    }
    if (rng.pct(2)) // stray double blank, for the text cleaner
        s.replace(s.indexOf(QLatin1Char(' ')), 1, QLatin1String("  "));
    return s;
}

struct CompanyName {
    QString text;
    QString slug; // domain label, a to z, 0 to 9 and "-", at least 2 characters; empty when no company
};

CompanyName company(Rng& rng, const Pools& p, const Land& land, const Name& last)
{
    if (rng.pct(28))
        return {};
    const QString& suffix = rng.pick(land.companySuffixes);
    auto withSuffix = [&](const QString& base) {
        return suffix.isEmpty() ? base : base + (suffix.startsWith(QLatin1Char('&')) ? QLatin1String(" ") : QLatin1String(rng.pct(20) ? ", " : " ")) + suffix;
    };
    if (rng.pct(25)) {
        const QString base = last.text + QLatin1String(rng.pct(50) ? " & Sons" : " Associates");
        return {withSuffix(base), last.ascii + QLatin1String(rng.pct(50) ? "-assoc" : "group")};
    }
    const QString& word = rng.pick(p.companyWords);
    const QString& trade = rng.pick(p.companyTrades);
    const QString base = word + QLatin1Char(' ') + trade;
    QString slug = fold(word);
    if (rng.pct(60))
        slug += (rng.pct(30) ? QLatin1String("-") : QLatin1String("")) + fold(trade);
    return {withSuffix(base), slug};
}

QString applyStyle(const QString& s, Style style)
{
    switch (style) {
    case Style::Upper: return s.toUpper();
    case Style::Lower: return s.toLower();
    case Style::Usual: break;
    }
    return s;
}

// ---------------------------------------------------------------------------
// E-mail addresses

QString account(Rng& rng, const Pools& p, const Name& first, const Name& last, bool companyDomain)
{
    const QString& f = first.ascii;
    const QString& l = last.ascii;
    const int r = rng.below(100);
    if (r < 30) return f + QLatin1Char('.') + l;
    if (r < 40) return f + l;
    if (r < 52) return f.left(1) + QLatin1Char('.') + l;
    if (r < 60) return f.left(1) + l;
    if (r < 65) return f + QLatin1Char('_') + l;
    if (r < 75) return f + QLatin1Char('.') + l + QString::number(rng.range(1, 99));
    if (r < 85) return f + QString::number(rng.range(1950, 2009));
    if (r < 90) return l + QLatin1Char('.') + f;
    if (r < 95 || !companyDomain) return f;
    return rng.pick(p.roleAccounts);
}

QString domain(Rng& rng, const Land& land, const CompanyName& co)
{
    if (!co.slug.isEmpty() && rng.pct(45)) {
        const QString& tld = rng.pick(land.companyTlds);
        if (rng.pct(8))
            return QLatin1String(rng.pct(50) ? "mail." : "sales.") + co.slug + QLatin1Char('.') + tld;
        return co.slug + QLatin1Char('.') + tld;
    }
    if (rng.pct(2))
        return QLatin1String(rng.pct(50) ? "alumni.harvard.edu" : "cs.stanford.edu");
    return rng.pick(land.freeMail);
}

/// A character above code 255 inside the account: a Cyrillic look-alike of
/// a Latin letter or a typographic apostrophe, as pasted from other programs.
QString foreignAccount(Rng& rng, QString a)
{
    static const char16_t from[] = u"aeocp";
    static const char16_t to[] = u"\u0430\u0435\u043E\u0441\u0440";
    for (int k = 0; k < 5; ++k) {
        const int i = a.indexOf(QChar(from[k]));
        if (i >= 0) {
            a[i] = QChar(to[k]);
            return a;
        }
    }
    a.insert(rng.below(static_cast<int>(a.size()) + 1), QChar(0x2019));
    return a;
}

/// An address the address rules refuse: no "@", two "@", an empty account,
/// a character above code 255 in the account, no dot in the domain part, a
/// bad label (empty, one letter, stray or accented character) or an unknown
/// top-level domain.
QString badEmail(Rng& rng, const QString& acc, const QString& dom)
{
    const QString at = QStringLiteral("@");
    const int lastDot = dom.lastIndexOf(QLatin1Char('.'));
    const QString tldless = dom.left(lastDot);
    const int r = rng.below(100);
    if (r < 14) return acc + dom; // "@" left out
    if (r < 18) return acc + letter(rng, "#!$ .") + dom; // "@" mistyped
    if (r < 21) return QLatin1String("info") + dom;
    if (r < 24) return acc + QLatin1String("@@") + dom;
    if (r < 26) return acc + at + acc.left(3) + at + dom;
    if (r < 28) return at + dom;
    if (r < 33) return foreignAccount(rng, acc) + at + dom;
    if (r < 42) return acc + at + tldless + dom.mid(lastDot + 1); // "gmailcom"
    if (r < 46) return acc + at + tldless + QLatin1Char(rng.pct(50) ? '_' : ',') + dom.mid(lastDot + 1);
    if (r < 53) return acc + at + tldless + QLatin1String("..") + dom.mid(lastDot + 1);
    if (r < 55) return acc + at + QLatin1Char('.') + dom;
    if (r < 62) return acc + at + dom + letter(rng, ".,;>)\"/'"); // a stray character at the end
    if (r < 69) {
        static const char* pairs[] = {"<>", "()", "[]", "{}", "''"};
        const char* w = pairs[rng.below(5)];
        return QLatin1Char(w[0]) + acc + at + dom + QLatin1Char(w[1]);
    }
    if (r < 72) return acc + at + tldless + QLatin1Char('.') + dom.mid(lastDot + 1, 1); // "gmail.c"
    if (r < 75) {
        QString d = dom;
        d.insert(qMax(1, lastDot / 2), QLatin1Char(' '));
        return acc + at + d;
    }
    if (r < 78) {
        QString d = dom;
        d.insert(qMax(1, lastDot / 2), QLatin1Char('_'));
        return acc + at + d;
    }
    if (r < 80) {
        QString d = dom;
        int v = 0;
        while (v < d.size() && !QStringView(u"aeiou").contains(d[v]))
            ++v;
        d.replace(v < d.size() ? v : 0, 1, QStringLiteral("é"));
        return acc + at + d;
    }
    // An unknown ending: "hotmail.con", "gmail.comm", "yahoo.co".
    return acc + at + tldless + QLatin1Char('.') + rng.pick(pools().badTlds);
}

struct EmailCell {
    QString text;
    bool bad = false;
};

EmailCell email(Rng& rng, const GenOptions& o, const Pools& p, const Land& land, const Name& first,
                const Name& last, const CompanyName& co, Style style)
{
    if (rng.pct(2))
        return {};
    const bool bad = rng.chance(o.badEmailRate);
    QString dom = domain(rng, land, co);
    // Role accounts ("info", "sales") only on the company's own domain.
    const QString acc = account(rng, p, first, last, !co.slug.isEmpty() && dom.contains(co.slug));
    if (bad)
        return {badEmail(rng, acc, dom), true};
    if (rng.pct(2))
        dom = rng.pick(p.misspeltFreeMail); // a likely typo the rules still accept
    QString s = acc + QLatin1Char('@') + dom;
    if (style == Style::Upper && rng.pct(50))
        s = s.toUpper();
    else if (rng.pct(3))
        s = acc.left(1).toUpper() + acc.mid(1) + QLatin1Char('@') + dom.left(1).toUpper() + dom.mid(1);
    if (rng.pct(1)) {
        // a blank inside the account: still a valid address once removed
        s.insert(qMax(1, static_cast<int>(s.indexOf(QLatin1Char('@'))) / 2), QLatin1Char(' '));
    } else if (rng.pct(2)) {
        s = (rng.pct(50) ? QLatin1String(" ") : QLatin1String("")) + s + QLatin1String(rng.pct(50) ? " " : "  ");
    }
    return {s, false};
}

// ---------------------------------------------------------------------------
// Rows

enum class Kind { Fresh, Duplicate, Misspelt };

struct Plan {
    Kind kind = Kind::Fresh;
    qint64 target = 0;
};

/// Always draws the same two numbers, so that a fresh row's values do not
/// depend on the rates.
Plan plan(const GenOptions& o, Rng& rng, qint64 row)
{
    const double u = rng.unit();
    const qint64 target = static_cast<qint64>(rng.below(static_cast<quint64>(qMax<qint64>(row, 1))));
    if (row == 0)
        return {};
    if (u < o.dupRate)
        return {Kind::Duplicate, target};
    if (u < o.dupRate + o.typoRate)
        return {Kind::Misspelt, target};
    return {};
}

/// The fresh row that row is, or copies. Targets are always earlier rows,
/// and row 0 is fresh, so this ends.
qint64 rootOf(const GenOptions& o, qint64 row)
{
    for (;;) {
        Rng rng = rowRng(o.seed, row);
        const Plan pl = plan(o, rng, row);
        if (pl.kind == Kind::Fresh)
            return row;
        row = pl.target;
    }
}

struct Record {
    QStringList cells;
    bool badEmail = false;
};

Record freshRow(const GenOptions& o, qint64 row)
{
    const Pools& p = pools();
    Rng rng = rowRng(o.seed, row);
    plan(o, rng, row);

    const Land& land = pickLand(rng, p);
    const Place& place = rng.pick(land.places);
    const bool female = rng.pct(50);
    const Name& first = rng.pick(female ? p.female : p.male);
    const Name& last = rng.pick(p.last);
    const int styleDraw = rng.below(100);
    const Style style = styleDraw < 4 ? Style::Upper : styleDraw < 7 ? Style::Lower : Style::Usual;

    Record r;
    r.cells.resize(ColumnCount);
    if (rng.pct(55))
        r.cells[Title] = applyStyle(rng.pick(female ? p.femaleTitles : p.maleTitles), style);
    r.cells[FirstName] = applyStyle(first.text, style);
    r.cells[LastName] = applyStyle(last.text, style);
    const CompanyName co = company(rng, p, land, last);
    r.cells[Company] = applyStyle(co.text, style);
    r.cells[Address] = applyStyle(address(rng, p, land), style);
    r.cells[City] = applyStyle(place.city, style);
    if (!place.state.isEmpty() && !rng.pct(land.form == Form::UK ? 50 : 3)) {
        if (land.form == Form::US && rng.pct(8))
            r.cells[State] = p.stateNames.value(place.state, place.state);
        else
            r.cells[State] = rng.pct(4) ? place.state.toLower() : place.state;
    }
    r.cells[Zip] = postalCode(rng, land, place);
    r.cells[Country] = country(rng, land);
    r.cells[Phone] = phone(rng, land);
    const EmailCell e = email(rng, o, p, land, first, last, co, style);
    r.cells[Email] = e.text;
    r.badEmail = e.bad;
    if (rng.pct(35))
        r.cells[Notes] = rng.pick(p.notes);
    return r;
}

/// Changes one ASCII letter of s: replaced by another letter (same length),
/// left out, or doubled. False when s has no letter to change.
bool misspell(QString& s, Rng& rng)
{
    std::vector<int> letters;
    for (int i = 0; i < s.size(); ++i)
        if (isAsciiLetter(s[i]))
            letters.push_back(i);
    if (letters.empty() || s.size() < 3)
        return false;
    const int pos = letters[static_cast<size_t>(rng.below(static_cast<int>(letters.size())))];
    const int op = rng.below(100);
    if (op < 55) {
        const QChar old = s[pos];
        const int oldLetter = old.toLower().unicode() - 'a';
        int k = rng.below(25);
        if (k >= oldLetter)
            ++k; // never the same letter, in either case
        s[pos] = old.isUpper() ? QChar('A' + k) : QChar('a' + k);
    } else if (op < 85) {
        s.remove(pos, 1);
    } else {
        s.insert(pos, s[pos]);
    }
    return true;
}

} // namespace

QStringList generatorColumns()
{
    return {QStringLiteral("Title"),   QStringLiteral("FirstName"), QStringLiteral("LastName"),
            QStringLiteral("Company"), QStringLiteral("Address"),   QStringLiteral("City"),
            QStringLiteral("State"),   QStringLiteral("ZIP"),       QStringLiteral("Country"),
            QStringLiteral("Phone"),   QStringLiteral("Email"),     QStringLiteral("Notes")};
}

QStringList generatorGenericDomains()
{
    return {QStringLiteral("com"), QStringLiteral("net"), QStringLiteral("org"), QStringLiteral("edu"),
            QStringLiteral("gov"), QStringLiteral("biz"), QStringLiteral("info")};
}

QList<QPair<QString, QString>> generatorCountryDomains()
{
    return {{QStringLiteral("us"), QStringLiteral("United States")},
            {QStringLiteral("ca"), QStringLiteral("Canada")},
            {QStringLiteral("uk"), QStringLiteral("United Kingdom")},
            {QStringLiteral("ie"), QStringLiteral("Ireland")},
            {QStringLiteral("de"), QStringLiteral("Germany")},
            {QStringLiteral("nl"), QStringLiteral("Netherlands")},
            {QStringLiteral("fr"), QStringLiteral("France")}};
}

bool checkOptions(const GenOptions& o, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    auto rate = [](double r) { return std::isfinite(r) && r >= 0.0 && r <= 1.0; };
    if (o.rows < 0)
        return fail(QStringLiteral("The row count must not be negative."));
    if (!rate(o.dupRate) || !rate(o.typoRate) || !rate(o.badEmailRate))
        return fail(QStringLiteral("Rates must lie between 0 and 1."));
    if (o.dupRate + o.typoRate > 1.0)
        return fail(QStringLiteral("The duplicate and misspelling rates together must not exceed 1."));
    return true;
}

bool generate(const GenOptions& o, const RowSink& sink, GenStats* stats, QString* error)
{
    if (!checkOptions(o, error))
        return false;
    GenStats st;
    for (qint64 row = 0; row < o.rows; ++row) {
        Rng rng = rowRng(o.seed, row);
        const Plan pl = plan(o, rng, row);
        Record r = freshRow(o, pl.kind == Kind::Fresh ? row : rootOf(o, pl.target));
        if (pl.kind == Kind::Duplicate) {
            ++st.duplicates;
        } else if (pl.kind == Kind::Misspelt) {
            static const Col fields[] = {FirstName, LastName, City};
            const int start = rng.below(3);
            bool changed = false;
            for (int k = 0; k < 3 && !changed; ++k)
                changed = misspell(r.cells[fields[(start + k) % 3]], rng);
            ++(changed ? st.misspellings : st.duplicates);
        }
        if (r.badEmail)
            ++st.badEmails;
        if (r.cells[Email].isEmpty())
            ++st.emptyEmails;
        ++st.rows;
        sink(r.cells);
    }
    if (stats)
        *stats = st;
    return true;
}

namespace {

void appendCsvField(QByteArray& out, const QString& s)
{
    if (s.isEmpty())
        return;
    out += '"';
    bool ascii = true;
    for (QChar c : s)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        for (QChar c : s) {
            const char ch = static_cast<char>(c.unicode());
            out += ch;
            if (ch == '"')
                out += '"';
        }
    } else {
        QByteArray u = s.toUtf8();
        u.replace("\"", "\"\"");
        out += u;
    }
    out += '"';
}

} // namespace

bool writeCsv(const GenOptions& o, const QString& path, QString* error, GenStats* stats)
{
    if (!checkOptions(o, error))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    constexpr qsizetype chunk = 1 << 20;
    QByteArray buf;
    buf.reserve(chunk + 4096);
    bool ok = true;
    auto flush = [&] {
        if (ok && file.write(buf) != buf.size())
            ok = false;
        buf.clear();
    };
    auto put = [&](const QStringList& row) {
        if (!ok)
            return; // a failed write ends the file; the rows still run out
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i)
                buf += ',';
            appendCsvField(buf, row[i]);
        }
        buf += "\r\n";
        if (buf.size() >= chunk)
            flush();
    };
    put(generatorColumns());
    generate(o, put, stats, nullptr);
    flush();
    if (!ok || !file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace bench
