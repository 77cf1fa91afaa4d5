#include <QStringList>
#include <algorithm>
#include <random>

#include "sim/simnetwork.h"

namespace cfg::sim {

namespace {

Record Menu(int id, int code, const QString& text) {
    Record r;
    r.id = id;
    r.code = code;
    r.text = ScaleText(text);
    return r;
}

Record Enum(int id, int order, const QString& text, const QStringList& options, int index) {
    Record r;
    r.id = id;
    r.code = kEnumeration;
    r.order = order;
    r.text = ScaleText(text);
    for (const QString& option : options) r.options.append(ScaleText(option));
    r.length = static_cast<int>(r.options.size());
    r.value.number = index;
    return r;
}

Record Number(int id, int order, int length, const QString& text, std::int32_t raw,
              char divisor = 0) {
    Record r;
    r.id = id;
    r.code = kNumber;
    r.order = order;
    r.length = length;
    r.text = ScaleText(text);
    r.divisor = divisor;
    r.value.number = raw;
    return r;
}

Record String(int id, int order, int length, const QString& text, const QString& value) {
    Record r;
    r.id = id;
    r.code = kString;
    r.order = order;
    r.length = length;
    r.text = ScaleText(text);
    r.value.bytes = ScaleText(value);
    return r;
}

Record Date(int id, int order, const QString& text, const QString& ddmmyy) {
    Record r;
    r.id = id;
    r.code = kDate;
    r.order = order;
    r.length = 8;
    r.text = ScaleText(text);
    r.value.bytes = ScaleText(ddmmyy);
    return r;
}

Value Text(const QString& text) {
    return Value{0, ScaleText(text)};
}
Value Whole(std::int32_t number) {
    return Value{number, {}};
}

QByteArray Mac(std::initializer_list<int> bytes) {
    QByteArray mac;
    for (int b : bytes) mac.append(static_cast<char>(b));
    return mac;
}

const QStringList kLanguages{QStringLiteral("Español"), QStringLiteral("Inglés"),
                             QStringLiteral("Francés"), QStringLiteral("Portugués")};

QList<Record> DefaultSystem() {
    Record version =
        String(1, 150, 10, QStringLiteral("Versión programa"), QStringLiteral("V2.41"));

    Record negative = Number(31, 2, 3, QStringLiteral("Despl vertical"), -3);
    negative.allowNegative = true;

    // Its converted text reads "Paq  igur": a reading tool drops it and the rest of its page.
    Record packet;
    packet.id = 99;
    packet.code = 0;
    packet.text = ScaleText(QStringLiteral("Paq. igur"));

    return {
        // Before any menu: a reading tool keeps it without a node.
        version,
        Menu(1, kSystemMenu, QStringLiteral("Datos Generales")),
        Enum(10, 1, QStringLiteral("Idioma"), kLanguages, 0),
        Enum(11, 2, QStringLiteral("Formato fecha"),
             {QStringLiteral("dd/mm/aa"), QStringLiteral("mm/dd/aa"), QStringLiteral("aa/mm/dd")},
             0),
        Number(12, 3, 1, QStringLiteral("Decimales precio"), 2),
        // ID 13 and value 13: both carry the byte 0x0D.
        Number(13, 4, 3, QStringLiteral("Tiempo espera"), 13),
        Enum(14, 5, QStringLiteral("Modo de red"), {}, 0),
        Date(15, 6, QStringLiteral("Fecha instalación"), QStringLiteral("150322")),
        Menu(2, kSystemMenu, QStringLiteral("Cabecera Ticket")),
        String(20, 1, 24, QStringLiteral("Nombre comercio"),
               QStringLiteral("Carnicería Hermanos Peña")),
        String(21, 2, 30, QStringLiteral("Dirección"), QStringLiteral("C/ Mayor, 13")),
        String(22, 3, 20, QStringLiteral("Población"), QStringLiteral("Zaragoza")),
        // Thirteen characters: the length byte is 0x0D.
        String(23, 4, 30, QStringLiteral("Pie de ticket"), QStringLiteral("Vuelva pronto")),
        Menu(3, kSystemMenu, QStringLiteral("Precios y Totales")),
        Number(30, 1, 4, QStringLiteral("Tara máxima"), 3000, '2'),
        negative,
        Enum(32, 3, QStringLiteral("Redondeo"),
             {QStringLiteral("Sin redondeo"), QStringLiteral("0,05"), QStringLiteral("0,10")}, 1),
        Number(33, 4, 6, QStringLiteral("Precio máximo"), 99999),
        Date(34, 5, QStringLiteral("Cambio de tarifa"), QStringLiteral("010124")),
        Number(35, 120, 8, QStringLiteral("Total acumulado"), 1234567),
        // A scale menu inside the system's structure: a reading tool skips it and its items.
        Menu(50, kScaleMenu, QStringLiteral("Menú balanza")),
        Number(51, 1, 3, QStringLiteral("Código balanza"), 7),
        Enum(52, 2, QStringLiteral("Tecla rápida"), {QStringLiteral("No"), QStringLiteral("Sí")},
             1),
        Menu(4, kSystemMenu, QStringLiteral("Comunicaciones")),
        String(40, 1, 15, QStringLiteral("Dirección servidor"), QStringLiteral("192.168.1.10")),
        Number(41, 2, 5, QStringLiteral("Puerto servidor"), 3001),
        Enum(42, 3, QStringLiteral("Velocidad"),
             {QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
              QStringLiteral("57600"), QStringLiteral("115200")},
             1),
        // 3341 is 0x0D0D: two CR bytes in one value.
        Number(43, 4, 5, QStringLiteral("Intervalo envío"), 3341),
        // After everything real; what follows it is harmless to drop.
        packet,
        Menu(60, kScaleMenu, QStringLiteral("Paquete configuración")),
    };
}

QList<Record> DefaultShared() {
    Record offset = Number(103, 4, 3, QStringLiteral("Despl vertical"), 0);
    offset.allowNegative = true;
    return {
        Menu(1, kScaleMenu, QStringLiteral("Configuración balanza")),
        // Same ID as the system's "Idioma".
        Enum(10, 1, QStringLiteral("Idioma"), kLanguages, 0),
        Enum(101, 2, QStringLiteral("Modo de trabajo"),
             {QStringLiteral("Autoservicio"), QStringLiteral("Mostrador"), QStringLiteral("Mixto")},
             1),
        Number(102, 3, 2, QStringLiteral("Vendedores"), 4),
        offset,
        String(104, 5, 16, QStringLiteral("Nombre balanza"), QStringLiteral("Balanza")),
        Date(105, 6, QStringLiteral("Fecha revisión"), QStringLiteral("150323")),
        // A system menu inside the scales' structure: a reading tool skips it and its items.
        Menu(9, kSystemMenu, QStringLiteral("Red de sistema")),
        Number(90, 1, 5, QStringLiteral("Puerto servidor"), 3001),
        String(91, 2, 8, QStringLiteral("Clave servicio"), QStringLiteral("ABC123")),
        Menu(2, kScaleMenu, QStringLiteral("Etiqueta")),
        Enum(110, 1, QStringLiteral("Formato etiqueta"),
             {QStringLiteral("58x40"), QStringLiteral("58x60"), QStringLiteral("80x60")}, 0),
        Number(111, 2, 1, QStringLiteral("Contraste"), 5),
        Number(112, 3, 5, QStringLiteral("Peso mínimo"), 40, '2'),
        Enum(113, 4, QStringLiteral("Código de barras"),
             {QStringLiteral("EAN-13"), QStringLiteral("EAN-8"), QStringLiteral("Code 128")}, 0),
        Number(114, 5, 3, QStringLiteral("Apagado pantalla"), 13),
        Menu(3, kHardwareMenu, QStringLiteral("Hardware")),
        Number(120, 1, 1, QStringLiteral("Filtro de peso"), 3),
        Number(121, 120, 6, QStringLiteral("Calibración"), 30000),
        String(122, 150, 12, QStringLiteral("Número de serie"), QStringLiteral("TS-0000")),
        Date(123, 110, QStringLiteral("Fecha calibración"), QStringLiteral("200223")),
        // The group: accepted only as a whole.
        Menu(4, kScaleMenu, QStringLiteral("Cabecera ticket")),
        String(152, 1, 24, QStringLiteral("Línea 1"), QStringLiteral(" Mercado Central ")),
        String(153, 2, 24, QStringLiteral("Línea 2"), QStringLiteral("Puesto 0")),
        String(154, 3, 24, QStringLiteral("Línea 3"), QStringLiteral("Tel 976 123 456")),
        String(155, 4, 24, QStringLiteral("Línea 4"), QString()),
        String(156, 5, 24, QStringLiteral("Línea 5"), QStringLiteral("Gracias por su visita")),
        String(157, 6, 24, QStringLiteral("Línea 6"), QString()),
        Enum(158, 7, QStringLiteral("Alineación"),
             {QStringLiteral("Izquierda"), QStringLiteral("Centro"), QStringLiteral("Derecha")}, 1),
    };
}

}  // namespace

Network DefaultNetwork() {
    Network n;
    n.system = DefaultSystem();
    n.shared = DefaultShared();

    Scale s1{1, 1, Mac({0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}), {}};
    s1.values.insert(104, Text(QStringLiteral("Charcutería")));
    s1.values.insert(122, Text(QStringLiteral("TS-0001")));
    s1.values.insert(153, Text(QStringLiteral("Puesto 1")));

    Scale s2{2, 1, Mac({0x00, 0x1E, 0xC0, 0x05, 0x7F, 0x12}), {}};
    s2.values.insert(101, Whole(0));
    s2.values.insert(103, Whole(-5));
    s2.values.insert(104, Text(QStringLiteral("Pescadería")));
    s2.values.insert(122, Text(QStringLiteral("TS-0002")));
    s2.values.insert(153, Text(QStringLiteral("Puesto 2")));

    // The MAC carries the byte 0x0D.
    Scale s3{3, 2, Mac({0x00, 0x1E, 0xC0, 0xA4, 0x0D, 0x31}), {}};
    s3.values.insert(10, Whole(1));
    s3.values.insert(104, Text(QStringLiteral("Frutería")));
    s3.values.insert(122, Text(QStringLiteral("TS-0003")));
    s3.values.insert(153, Text(QStringLiteral("Puesto 3")));

    Scale s7{7, 3, Mac({0x00, 0x1E, 0xC0, 0xB2, 0x09, 0xE0}), {}};
    s7.values.insert(104, Text(QStringLiteral("Carnicería")));
    s7.values.insert(110, Whole(2));
    s7.values.insert(112, Whole(100));
    s7.values.insert(122, Text(QStringLiteral("TS-0007")));
    s7.values.insert(153, Text(QStringLiteral("Puesto 7")));

    n.scales = {s1, s2, s3, s7};
    return n;
}

Network GenerateNetwork(int scales, int items) {
    scales = std::clamp(scales, 1, 255);
    items = std::clamp(items, 1, 20000);
    // Fixed seed: the same sizes give the same network on every run.
    std::mt19937 random(static_cast<std::uint32_t>(scales * 100003 + items));
    const auto pick = [&random](int below) {
        return static_cast<int>(random() % static_cast<std::uint32_t>(below));
    };

    static const char* const kWords[] = {
        "Precio",   "Tara",     "Peso",      "Código", "Tiempo",  "Etiqueta", "Ticket",
        "Sección",  "Vendedor", "Impresión", "Oferta", "Límite",  "Turno",    "Descuento",
        "Pantalla", "Teclado",  "Cabecera",  "Envase", "Familia", "Artículo", "Redondeo"};
    static const char* const kOptions[] = {"No",     "Sí",       "Automático", "Manual",
                                           "Normal", "Reducido", "Ampliado",   "Apagado"};
    constexpr int kWordCount = static_cast<int>(std::size(kWords));
    constexpr int kOptionCount = static_cast<int>(std::size(kOptions));

    const auto makeItem = [&](int id, int order) {
        const QString text =
            QStringLiteral("%1 %2").arg(QString::fromUtf8(kWords[pick(kWordCount)])).arg(id);
        const int kind = pick(20);
        if (kind < 7) {
            const int length = 1 + pick(6);
            int limit = 1;
            for (int i = 0; i < length; ++i) limit *= 10;
            return Number(id, order, length, text, pick(limit), pick(4) == 0 ? '2' : 0);
        }
        if (kind < 12) {
            QStringList options;
            const int count = 2 + pick(5);
            for (int i = 0; i < count; ++i)
                options << QString::fromUtf8(kOptions[(i + id) % kOptionCount]);
            return Enum(id, order, text, options, pick(count));
        }
        if (kind < 17) {
            const int length = 8 + pick(25);
            return String(id, order, length, text, QStringLiteral("Valor %1").arg(id).left(length));
        }
        if (kind < 19) {
            return Date(id, order, text,
                        QStringLiteral("%1%2%3")
                            .arg(1 + pick(28), 2, 10, QLatin1Char('0'))
                            .arg(1 + pick(12), 2, 10, QLatin1Char('0'))
                            .arg(20 + pick(10), 2, 10, QLatin1Char('0')));
        }
        return Number(id, 100 + pick(100), 8, text, pick(1000000));
    };

    Network n;
    for (int m = 0; m < 4; ++m) {
        n.system.append(Menu(m + 1, kSystemMenu, QStringLiteral("Sistema %1").arg(m + 1)));
        for (int i = 0; i < 10; ++i) n.system.append(makeItem(10 + m * 10 + i, i + 1));
    }

    const bool withGroup = items >= 12;
    const int plain = withGroup ? items - 6 : items;
    const int menus = (plain + 24) / 25;
    int nextId = 1000;
    int placed = 0;
    for (int m = 0; m < menus; ++m) {
        const int code = m == 0 ? kHardwareMenu : kScaleMenu;
        n.shared.append(Menu(m + 1, code, QStringLiteral("Menú %1").arg(m + 1)));
        const int inMenu = std::min(25, plain - placed);
        for (int i = 0; i < inMenu; ++i) n.shared.append(makeItem(nextId++, i + 1));
        placed += inMenu;
    }
    if (withGroup) {
        n.shared.append(Menu(menus + 1, kScaleMenu, QStringLiteral("Cabecera ticket")));
        for (int id = kFirstGroupId; id <= kLastGroupId; ++id)
            n.shared.append(String(id, id - kFirstGroupId + 1, 24,
                                   QStringLiteral("Línea %1").arg(id - kFirstGroupId + 1),
                                   QStringLiteral("Texto %1").arg(id)));
    }

    const Record* name = nullptr;
    for (const Record& r : n.shared) {
        if (r.code == kString && !IsGroupId(r.id)) {
            name = &r;
            break;
        }
    }
    for (int s = 1; s <= scales; ++s) {
        Scale scale{s,
                    1 + (s - 1) % 10,
                    Mac({0x00, 0x1E, 0xC0, 0x10 + s % 200, (s * 7) & 0xFF, (s * 13) & 0xFF}),
                    {}};
        if (name != nullptr)
            scale.values.insert(name->id,
                                Text(QStringLiteral("Balanza %1").arg(s).left(name->length)));
        n.scales.append(scale);
    }
    return n;
}

}  // namespace cfg::sim
