#include "service/web/WebPages.h"

#include "events/ActiveAlarms.h"
#include "monitor/MotorCaptions.h"

#include <QString>

namespace registrator::web {

namespace {

QString Escaped(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toHtmlEscaped();
}

// A page that has lost the program greys its alarms and panels under the red line: their last colours
// must not be taken for live ones. The alarm box keeps one height, listed alarms or none, so that the
// panels never move under a click.
const char* const kPanelStyle = R"(
body{margin:0;font-family:sans-serif;background:#e8e8e8}
#status{position:sticky;top:0;z-index:1;padding:6px 10px;background:#203040;color:#fff;font-size:15px;
 display:flow-root}
#status.stale{background:#b00000}
#status.stale~section{filter:grayscale(1);opacity:.35}
#sim{font-weight:bold;color:#ffd040;margin-right:1em}
#alarms{margin:8px;padding:4px 10px;background:#c80000;color:#fff;border-radius:4px;font-size:15px;
 height:118px;box-sizing:border-box;display:flex;flex-direction:column}
#alarms.none{background:#607080}
#alarms ul{flex:1;overflow-y:auto;margin:2px 0 0;padding-left:1.4em}
#alarms li.done{opacity:.7}#alarms a{color:#fff}
#status.stale~#alarms{filter:grayscale(1);opacity:.35}
#archive{float:right}#archive a{color:#9cf}
section{margin:8px;background:#f4f4f4;border:1px solid #999;border-radius:4px;padding:4px 6px 6px}
h2{font-size:16px;margin:2px 0 6px}
.row{display:grid;grid-template-columns:repeat(12,minmax(0,1fr));gap:3px}
.motor{display:block;border:1px solid #555;color:#000;text-decoration:none}
.cap{height:56px;padding-top:6px;font-size:13px;line-height:16px;text-align:center;overflow:hidden}
.tok{background:#a6caf0;font:bold 16px sans-serif;text-align:center;padding:2px 0}
@media (max-width:760px){.row{grid-template-columns:repeat(4,minmax(0,1fr))}.cap{font-size:12px}}
)";

const char* const kPanelScript = R"(
const texts=[...document.querySelectorAll('.tok')], pans=[...document.querySelectorAll('.cap')];
const status=document.getElementById('status'), when=document.getElementById('when');
let last=Date.now();
function show(p){
  p.texts.forEach((t,i)=>{ if(texts[i].textContent!==t) texts[i].textContent=t; });
  p.colours.forEach((c,i)=>{ if(pans[i].dataset.c!==c){ pans[i].dataset.c=c; pans[i].style.background=c; } });
  document.getElementById('sim').hidden=!p.simulated;
  if(p.day){ for(const [id,form] of [['csv','/archive/'],['xcsv','/archive/excel/']]){
      document.getElementById(id).href=form+p.day+'.csv';
      document.getElementById(id.replace('csv','summary')).href=form+p.day+'/summary.csv'; }
    document.getElementById('day').textContent=p.day; }
  const box=document.getElementById('alarms');
  if(p.alarms){ box.hidden=false; box.classList.toggle('none',!p.alarms.length);
    const key=JSON.stringify(p.alarms)+p.alarmCount;
    if(box.dataset.key!==key){ box.dataset.key=key; const list=box.querySelector('ul'), at=list.scrollTop;
      list.textContent='';
      p.alarms.forEach(a=>{ const li=document.createElement('li');
        li.textContent=a.text+(a.active?'':' — снята')+(a.acknowledged?' — квитирована':'');
        if(!a.active||a.acknowledged) li.className='done'; list.appendChild(li); });
      list.scrollTop=at;
      const unlisted=p.alarmCount-p.alarms.length;
      box.querySelector('b').textContent=p.alarmCount?'Тревоги: '+p.alarmCount:'Тревог нет';
      document.getElementById('unlisted').textContent=unlisted>0?
        '· показаны последние '+p.alarms.length+', ещё '+unlisted+' не показаны ':''; } }
  when.textContent=p.refreshed?('данные на '+p.refreshed):'данных ещё нет';
  document.body.dataset.updates=String(Number(document.body.dataset.updates||0)+1);
  last=Date.now(); status.classList.remove('stale');
}
show(JSON.parse(document.getElementById('initial').textContent));
document.body.dataset.updates='0';
const events=new EventSource('/stream');
events.addEventListener('panel',e=>show(JSON.parse(e.data)));
setInterval(()=>{ if(Date.now()-last>3000){ status.classList.add('stale');
  when.textContent=when.textContent.replace(/^(нет связи с программой, )?/,'нет связи с программой, '); } },1000);
)";

} // namespace

QByteArray PanelPage(const QByteArray& panelJson) {
    QString html =
        QStringLiteral("<!DOCTYPE html><html lang=\"ru\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
                       "<title>Регистратор</title><style>") +
        QString::fromUtf8(kPanelStyle) +
        QStringLiteral("</style></head><body><div id=\"status\"><span id=\"sim\" hidden>имитация</span>"
                       "Регистратор · <span id=\"when\"></span><span id=\"archive\">архив за <span "
                       "id=\"day\"></span>: <a id=\"csv\" download>записи</a> · <a id=\"summary\" "
                       "download>итоги дня</a> · для Excel/Calc: <a id=\"xcsv\" download>записи</a> · "
                       "<a id=\"xsummary\" download>итоги дня</a> · <a href=\"/events\">журнал событий</a>"
                       "</span></div><div id=\"alarms\" hidden><div><b></b> <span id=\"unlisted\"></span>"
                       "(квитирование — в программе)</div><ul></ul></div>");
    for (int s = 1; s <= channels::kSectionCount; ++s) {
        html += QStringLiteral("<section><h2>") + Escaped(channels::SectionName(s)) +
                QStringLiteral("</h2><div class=\"row\">");
        for (int i = 0; i < channels::kChannelsPerSection; ++i) {
            const int n = channels::FirstChannelOfSection(s) + i;
            const monitor::MotorCaption& caption = monitor::MotorCaptionOf(n);
            html += QStringLiteral("<a class=\"motor\" href=\"/motor/%1\"><div class=\"cap\" id=\"Pan%1\">")
                        .arg(n);
            for (int line = 0; line < caption.LineCount; ++line)
                html += (line ? QStringLiteral("<br>") : QString()) + Escaped(caption.Lines[line]);
            html += QStringLiteral("</div><div class=\"tok\" id=\"Lb_Tok%1\">000</div></a>").arg(n);
        }
        html += QStringLiteral("</div></section>");
    }
    // '<' cannot occur in the JSON of texts and colours, so it cannot end the script element early.
    html += QStringLiteral("<script type=\"application/json\" id=\"initial\">") +
            QString::fromUtf8(panelJson) + QStringLiteral("</script><script>") +
            QString::fromUtf8(kPanelScript) + QStringLiteral("</script></body></html>");
    return html.toUtf8();
}

QByteArray EventsPage() {
    return QByteArrayLiteral(R"(<!DOCTYPE html><html lang="ru"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width,initial-scale=1"><title>Журнал событий</title><style>
body{margin:0;font-family:sans-serif}header{position:sticky;top:0;padding:6px 10px;background:#203040;color:#fff}
header a{color:#9cf}table{border-collapse:collapse;margin:6px;font-size:14px}
td,th{border:1px solid #bbb;padding:2px 6px;text-align:left}th{background:#e0e0e0}
tr.alarm{background:#ffd6d6}td.n{text-align:right}
</style></head><body><header><a href="/">← панель</a> · журнал событий за <span id="day"></span> ·
<span id="count"></span></header>
<table><thead><tr><th>время</th><th>событие</th><th>канал</th><th>секция</th><th>двигатель</th><th>пик, А</th>
<th>длительность, с</th><th>тревога</th><th>подробности</th></tr></thead><tbody id="lines"></tbody></table>
<script>
let shown=-1;
async function load(){ try{ const r=await fetch('/events/data',{cache:'no-store'}); if(!r.ok) return;
  const d=await r.json(); document.getElementById('day').textContent=d.day;
  document.getElementById('count').textContent='событий: '+d.count+(d.count>d.lines.length?' (последние '+d.lines.length+')':'');
  if(d.count===shown) return; shown=d.count;
  const body=document.getElementById('lines'); body.textContent='';
  const figure=v=>v===null?'':v.toFixed(1).replace('.',',');
  for(const e of d.lines){ const tr=document.createElement('tr'); if(e.alarm) tr.className='alarm';
    const cells=[[e.time],[e.kind],[e.channel,'n'],[e.section],[e.motor],
      [figure(e.peak),'n'],[figure(e.seconds),'n'],[e.alarm?'да':''],[e.text]];
    for(const [v,c] of cells){ const td=document.createElement('td'); td.textContent=v??''; if(c) td.className=c; tr.appendChild(td); }
    body.appendChild(tr); }
  document.body.dataset.updates=String(Number(document.body.dataset.updates||0)+1);
 }catch(e){} }
load(); setInterval(load,2000);
</script></body></html>)");
}

QByteArray MotorPage(int channel, const channels::UstavkiTable& ustavki) {
    // Named as everywhere but on the mimic: by its settings name.
    const QString name = QString::fromStdString(events::MotorName(ustavki, channel)).toHtmlEscaped();
    const QString section = Escaped(channels::SectionName(channels::SectionOfChannel(channel)));
    QString html = QStringLiteral(R"(<!DOCTYPE html><html lang="ru"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width,initial-scale=1"><title>%1</title><style>
body{margin:0;font-family:sans-serif}header{padding:6px 10px;background:#203040;color:#fff}
header a{color:#9cf}#chart{display:block;width:100%;height:70vh}#note{padding:4px 10px}
#now{display:inline-block;padding:1px 8px;margin-left:6px;border:1px solid #555;color:#000;font-weight:bold}
</style></head><body><header><a href="/">← панель</a> · канал %2 · %3 · <b>%1</b> · <span id="when"></span>
<span id="now"></span></header>
<canvas id="chart"></canvas><div id="note">ток, А; жёлтая линия — номинальный, красная — критический</div>
<script>
const canvas=document.getElementById('chart');
function hhmmss(ms){const s=Math.floor(ms/1000);return [s/3600|0,(s/60|0)%60,s%60].map(v=>String(v).padStart(2,'0')).join(':');}
function draw(d){
  const w=canvas.width=canvas.clientWidth*devicePixelRatio, h=canvas.height=canvas.clientHeight*devicePixelRatio;
  const g=canvas.getContext('2d'); g.scale(devicePixelRatio,devicePixelRatio);
  const W=canvas.clientWidth, H=canvas.clientHeight, L=50, B=24;
  const n=d.values.length, most=Math.max(1,d.nominal,d.critical,...d.values);
  // Ticks a whole 1, 2 or 5 times a power of ten apart, about five of them, the top one above it all.
  const rough=most/5, power=Math.pow(10,Math.floor(Math.log10(rough)));
  const step=[1,2,5,10].map(m=>m*power).find(s=>s>=rough), top=Math.ceil(most*1.05/step)*step;
  const x=i=>L+(W-L-8)*(n>1?i/(n-1):1), y=v=>H-B-(H-B-8)*v/top;
  g.font='12px sans-serif'; g.strokeStyle='#ccc'; g.fillStyle='#000';
  const ticks=[]; for(let v=0;v<=top+step/2;v+=step) ticks.push(Number(v.toPrecision(12)));
  canvas.dataset.ticks=ticks.join(' ');
  for(const v of ticks){g.beginPath(); g.moveTo(L,y(v)); g.lineTo(W-8,y(v)); g.stroke(); g.fillText(String(v),4,y(v)+4);}
  for(const [v,c] of [[d.nominal,'#d0a000'],[d.critical,'#e00000']]){g.strokeStyle=c; g.beginPath(); g.moveTo(L,y(v)); g.lineTo(W-8,y(v)); g.stroke();}
  if(n){g.fillText(hhmmss(d.times[0]),L,H-6); g.fillText(hhmmss(d.times[n-1]),W-70,H-6);}
  g.strokeStyle='#0040c0'; g.lineWidth=1.5; g.beginPath();
  d.values.forEach((v,i)=>i?g.lineTo(x(i),y(v)):g.moveTo(x(i),y(v))); g.stroke();
  document.getElementById('when').textContent=n?('данные на '+hhmmss(d.times[n-1])):'данных ещё нет';
  const now=document.getElementById('now');
  now.textContent=d.current?(d.current+' А, '+d.state):''; now.style.background=d.current?d.colour:'';
}
async function load(){ try{ const r=await fetch('/motor/%2/data',{cache:'no-store'}); if(r.ok) draw(await r.json()); }catch(e){} }
load(); setInterval(load,2000);
</script></body></html>)")
                       .arg(name, QString::number(channel), section);
    return html.toUtf8();
}

} // namespace registrator::web
