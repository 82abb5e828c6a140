// The dialog's five button pictures: white line drawings on flat backgrounds, 34 x 34 at
// 32 bits per pixel with no alpha, drawn at run time rather than stored.

#include "client/frmobservacao.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>

namespace Cli_kzt00318 {

namespace {

constexpr int kLado = 34;

const QColor kCinza(128, 128, 128);
const QColor kCinzaClaro(204, 204, 204);
const QColor kLaranja(204, 91, 44);
const QColor kVerde(39, 174, 96);
// The clock's lens: the button takes the picture's orange background out, so a lens of
// that same orange would vanish into whatever face the button has.
const QColor kLenteRelogio(255, 140, 0);

QPen traco(qreal width)
{
    return QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void lupa(QPainter& p, QPointF centro, qreal raio, qreal espessura, const QColor* lente)
{
    p.setPen(traco(espessura));
    p.setBrush(lente ? QBrush(*lente) : QBrush(Qt::NoBrush));
    p.drawEllipse(centro, raio, raio);
    // The handle leaves the rim at 45 degrees, down and to the right.
    const qreal d = raio * 0.7071;
    p.setPen(traco(espessura * 1.6));
    p.drawLine(centro + QPointF(d + 1, d + 1), centro + QPointF(d + raio * 0.9, d + raio * 0.9));
}

void desenhaPesquisa(QPainter& p, bool disabled)
{
    lupa(p, QPointF(14, 14), 8.5, 2.5, disabled ? nullptr : &kLaranja);
}

void desenhaSair(QPainter& p)
{
    p.setPen(traco(2.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(17, 17), 13.5, 13.5);
    p.setPen(traco(3));
    p.drawLine(QPointF(25, 17), QPointF(10, 17));
    p.drawPolyline(QPolygonF({QPointF(16, 11), QPointF(10, 17), QPointF(16, 23)}));
}

void desenhaConfirmar(QPainter& p)
{
    p.setPen(traco(4));
    p.drawPolyline(QPolygonF({QPointF(8, 18), QPointF(14, 24), QPointF(26, 10)}));
}

void desenhaEsperaProd(QPainter& p)
{
    p.setPen(traco(2.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(14, 14), 11, 11);
    p.drawLine(QPointF(14, 14), QPointF(14, 7));
    p.drawLine(QPointF(14, 14), QPointF(19, 14));
    lupa(p, QPointF(24, 24), 4.5, 2, &kLenteRelogio);
}

void desenhaEditaDesc(QPainter& p)
{
    // A pencil lying at 45 degrees, its point down to the left, over a writing line.
    QPainterPath lapis;
    lapis.moveTo(7, 25);
    lapis.lineTo(9, 19);
    lapis.lineTo(23, 5);
    lapis.lineTo(27, 9);
    lapis.lineTo(13, 23);
    lapis.closeSubpath();
    p.setPen(traco(2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(lapis);
    p.drawLine(QPointF(20, 8), QPointF(24, 12));
    p.drawLine(QPointF(5, 29), QPointF(29, 29));
}

QColor fundo(Glyph glyph, bool disabled)
{
    if (disabled)
        return kCinzaClaro;
    switch (glyph) {
    case Glyph::Pesquisa:
    case Glyph::Sair: return kCinza;
    case Glyph::Confirmar: return kVerde;
    case Glyph::EsperaProd: return kLaranja;
    case Glyph::EditaDesc: return kCinzaClaro;
    }
    return kCinza;
}

} // namespace

QImage glyphImage(Glyph glyph, bool disabled)
{
    // The waiting-time button has no disabled picture; the edit button uses one picture
    // for both states.
    if (disabled && glyph == Glyph::EsperaProd)
        return {};

    QImage image(kLado, kLado, QImage::Format_RGB32);
    image.fill(fundo(glyph, disabled));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (glyph) {
    case Glyph::Pesquisa: desenhaPesquisa(p, disabled); break;
    case Glyph::Sair: desenhaSair(p); break;
    case Glyph::Confirmar: desenhaConfirmar(p); break;
    case Glyph::EsperaProd: desenhaEsperaProd(p); break;
    case Glyph::EditaDesc: desenhaEditaDesc(p); break;
    }
    return image;
}

} // namespace Cli_kzt00318
