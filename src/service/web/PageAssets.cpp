#include "service/web/PageAssets.h"

#include <QCryptographicHash>
#include <array>

namespace registrator::web {

namespace {

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

// Texts from the program go into the page as text only (textContent), never as markup.
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

// The value axis of every chart: ticks a whole 1, 2 or 5 times a power of ten apart, about five of
// them, the top one above it all.
const char* const kValueTicks = R"(
function valueTicks(most){
  const rough=most/5, power=Math.pow(10,Math.floor(Math.log10(rough)));
  const step=[1,2,5,10].map(m=>m*power).find(s=>s>=rough), top=Math.ceil(most*1.05/step)*step;
  const ticks=[]; for(let v=0;v<=top+step/2;v+=step) ticks.push(Number(v.toPrecision(12)));
  return {top,ticks};
}
)";

const char* const kMotorStyle = R"(
body{margin:0;font-family:sans-serif}header{padding:6px 10px;background:#203040;color:#fff}
header a{color:#9cf}#chart{display:block;width:100%;height:70vh}#note{padding:4px 10px}
#now{display:inline-block;padding:1px 8px;margin-left:6px;border:1px solid #555;color:#000;font-weight:bold}
)";

// The ring of the motor the page's own address names, fetched anew every 2 s.
const char* const kMotorScript = R"(
const canvas=document.getElementById('chart');
function hhmmss(ms){const s=Math.floor(ms/1000);return [s/3600|0,(s/60|0)%60,s%60].map(v=>String(v).padStart(2,'0')).join(':');}
function draw(d){
  const w=canvas.width=canvas.clientWidth*devicePixelRatio, h=canvas.height=canvas.clientHeight*devicePixelRatio;
  const g=canvas.getContext('2d'); g.scale(devicePixelRatio,devicePixelRatio);
  const W=canvas.clientWidth, H=canvas.clientHeight, L=50, B=24;
  const n=d.values.length, most=Math.max(1,d.nominal,d.critical,...d.values);
  const {top,ticks}=valueTicks(most);
  const x=i=>L+(W-L-8)*(n>1?i/(n-1):1), y=v=>H-B-(H-B-8)*v/top;
  g.font='12px sans-serif'; g.strokeStyle='#ccc'; g.fillStyle='#000';
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
async function load(){ try{ const r=await fetch(location.pathname+'/data',{cache:'no-store'}); if(r.ok) draw(await r.json()); }catch(e){} }
load(); setInterval(load,2000);
)";

// The journal's page and the reports' list.
const char* const kTableStyle = R"(
body{margin:0;font-family:sans-serif}header{position:sticky;top:0;padding:6px 10px;background:#203040;color:#fff}
header a{color:#9cf}table{border-collapse:collapse;margin:6px;font-size:14px}
td,th{border:1px solid #bbb;padding:2px 6px;text-align:left}th{background:#e0e0e0}
tr.alarm{background:#ffd6d6}td.n{text-align:right}
)";

const char* const kEventsScript = R"(
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
)";

const char* const kTrendStyle = R"(
body{margin:0;font-family:sans-serif}header{padding:6px 10px;background:#203040;color:#fff}
header a{color:#9cf}#controls{padding:6px 10px;display:flex;flex-wrap:wrap;gap:6px;align-items:center;
 background:#e8e8e8;border-bottom:1px solid #bbb}
#picked{padding:4px 10px;display:flex;flex-wrap:wrap;gap:6px;min-height:28px}
.pick{border:2px solid;border-radius:4px;padding:1px 4px;font-size:14px;display:flex;align-items:center;gap:3px}
.pick button{border:0;background:none;font-size:15px;cursor:pointer;padding:0 2px}
#chart{display:block;width:100%;height:62vh}#note,#readout,#state{padding:2px 10px;font-size:14px}
#readout{min-height:1.3em;font-family:monospace}#state{color:#803000}
)";

// The period's bands: one request per look, never more points than the chart is wide, times as the
// station's clock shows them (UTC in the browser, whatever its own zone).
const char* const kTrendScript = R"(
const setup=JSON.parse(document.getElementById('setup').textContent);
const colours=['#0050d0','#d03000','#008040','#8000a0','#b08000','#008898','#b00060','#505050'];
const $=id=>document.getElementById(id), canvas=$('chart');
const DAY=864e5, pad=v=>String(v).padStart(2,'0');
const iso=ms=>new Date(ms).toISOString().slice(0,16), parse=s=>Date.parse(s+'Z');
const dateText=ms=>{const d=new Date(ms);return pad(d.getUTCDate())+'.'+pad(d.getUTCMonth()+1)+'.'+d.getUTCFullYear();};
const timeText=ms=>{const d=new Date(ms);return pad(d.getUTCHours())+':'+pad(d.getUTCMinutes());};
const names={}; setup.sections.forEach(s=>s.motors.forEach(([n,name])=>names[n]=name));
let picks=[], lines=0, period='day', from=parse(setup.today), to=from+DAY, data=null, asked=0;
function span(at){
  const d=new Date(at), day=Date.UTC(d.getUTCFullYear(),d.getUTCMonth(),d.getUTCDate());
  if(period==='week'){const f=day-((d.getUTCDay()+6)%7)*DAY; return [f,f+7*DAY];}
  if(period==='month') return [Date.UTC(d.getUTCFullYear(),d.getUTCMonth(),1),Date.UTC(d.getUTCFullYear(),d.getUTCMonth()+1,1)];
  if(period==='day') return [day,day+DAY];
  return [from,to];
}
function step(sign){
  if(period==='month'){const d=new Date(from); [from,to]=span(Date.UTC(d.getUTCFullYear(),d.getUTCMonth()+sign,1));}
  else {const len=to-from; from+=sign*len; to+=sign*len;}
  load();
}
function showPicks(){
  const box=$('picked'); box.textContent='';
  picks.forEach((n,i)=>{const p=document.createElement('span'); p.className='pick'; p.style.borderColor=colours[i];
    const r=document.createElement('input'); r.type='radio'; r.name='lines'; r.checked=n===lines; r.title='номинальный и критический ток';
    r.onchange=()=>{lines=n; load(false);};
    const x=document.createElement('button'); x.textContent='×'; x.title='убрать';
    x.onclick=()=>{picks.splice(i,1); if(lines===n) lines=picks[0]||0; load();};
    p.append(r,(names[n]||'канал '+n)+' (канал '+n+')',x); box.appendChild(p);});
  $('add').disabled=picks.length>=8;
  if(!picks.length) box.textContent='выберите до 8 двигателей: секция, двигатель, «добавить»';
}
async function load(fetchData=true){
  $('from').value=iso(from); $('to').value=iso(to); $('period').value=period; showPicks();
  history.replaceState(null,'','/trend?channels='+picks.join(',')+'&period='+period+'&from='+iso(from)+'&to='+iso(to)+'&lines='+lines);
  if(!fetchData){draw(); return;}
  if(!picks.length){data=null; draw(); return;}
  const width=Math.max(1,Math.min(10000,Math.round(canvas.clientWidth-58))), mine=++asked;
  $('state').textContent='загрузка…';
  try{const r=await fetch('/trend/data?channels='+picks.join(',')+'&from='+iso(from)+'&to='+iso(to)+'&width='+width,{cache:'no-store'});
    if(mine!==asked) return;
    if(!r.ok){$('state').textContent=await r.text(); data=null; draw(); return;}
    data=await r.json();
    $('state').textContent=data.troubles.length?'не прочитаны: '+data.troubles.join('; '):'';
  }catch(e){ if(mine===asked) $('state').textContent='нет связи с программой'; return; }
  draw();
}
function timeTicks(a,b){
  const steps=[6e4,3e5,9e5,18e5,36e5,108e5,216e5,432e5,DAY,2*DAY,7*DAY,14*DAY,28*DAY,91*DAY,182*DAY,364*DAY];
  const st=steps.find(s=>s>=(b-a)/8)||steps[steps.length-1], ticks=[];
  for(let t=Math.ceil(a/st)*st;t<=b;t+=st) ticks.push([t,st>=DAY||t%DAY===0?dateText(t).slice(0,5):timeText(t)]);
  return ticks;
}
function draw(){
  canvas.width=canvas.clientWidth*devicePixelRatio; canvas.height=canvas.clientHeight*devicePixelRatio;
  const g=canvas.getContext('2d'); g.scale(devicePixelRatio,devicePixelRatio);
  const W=canvas.clientWidth, H=canvas.clientHeight, L=50, R=8, B=24;
  $('span').textContent=dateText(from)+' '+timeText(from)+' — '+dateText(to)+' '+timeText(to);
  canvas.dataset.points=''; if(!data) return;
  const marked=data.series.find(s=>s.channel===lines);
  let most=1; data.series.forEach(s=>s.max.forEach(v=>{if(v!==null&&v>most) most=v;}));
  if(marked) most=Math.max(most,marked.nominal,marked.critical);
  const {top,ticks}=valueTicks(most), len=data.to-data.from;
  const x=t=>L+(W-L-R)*(t-data.from)/len, y=v=>H-B-(H-B-8)*v/top;
  g.font='12px sans-serif'; g.strokeStyle='#ccc'; g.fillStyle='#000'; g.lineWidth=1;
  for(const v of ticks){g.beginPath(); g.moveTo(L,y(v)); g.lineTo(W-R,y(v)); g.stroke(); g.fillText(String(v),4,y(v)+4);}
  for(const [t,text] of timeTicks(data.from,data.to)){g.beginPath(); g.moveTo(x(t),8); g.lineTo(x(t),H-B); g.stroke();
    g.fillText(text,Math.max(L,Math.min(x(t)-14,W-R-g.measureText(text).width)),H-6);}
  if(marked) for(const [v,c] of [[marked.nominal,'#d0a000'],[marked.critical,'#e00000']]){
    g.strokeStyle=c; g.beginPath(); g.moveTo(L,y(v)); g.lineTo(W-R,y(v)); g.stroke();}
  const half=data.records?0:data.step*500;
  data.series.forEach((s,k)=>{
    // Runs of points between gaps: a band and its mean line each, never joined across a gap.
    const runs=[]; let run=null;
    s.t.forEach((t,i)=>{ if(s.mean[i]===null){run=null; return;} if(!run) runs.push(run=[]); run.push(i); });
    g.fillStyle=colours[k]+'40'; g.strokeStyle=colours[k]; g.lineWidth=1.5;
    for(const r of runs){
      const px=i=>x(s.t[i]+half);
      g.beginPath(); r.forEach((i,j)=>j?g.lineTo(px(i),y(s.max[i])):g.moveTo(px(i),y(s.max[i])));
      for(let j=r.length-1;j>=0;--j) g.lineTo(px(r[j]),y(s.min[r[j]]));
      g.closePath(); g.fill();
      if(r.length===1){g.fillStyle=colours[k]; g.fillRect(px(r[0])-1.5,y(s.mean[r[0]])-1.5,3,3); g.fillStyle=colours[k]+'40'; continue;}
      g.beginPath(); r.forEach((i,j)=>j?g.lineTo(px(i),y(s.mean[i])):g.moveTo(px(i),y(s.mean[i]))); g.stroke();
    }
  });
  canvas.dataset.points=data.series.map(s=>s.t.length).join(' ');
  canvas.dataset.ticks=ticks.join(' ');
}
canvas.addEventListener('mousemove',e=>{
  if(!data) return;
  const W=canvas.clientWidth, t=data.from+(e.offsetX-50)/(W-58)*(data.to-data.from);
  const parts=data.series.map(s=>{
    let lo=0, hi=s.t.length-1; while(lo<hi){const m=(lo+hi+1)>>1; if(s.t[m]<=t) lo=m; else hi=m-1;}
    const i=lo; return s.t.length&&s.mean[i]!==null&&t>=s.t[i]?s.name+': '+s.mean[i].toFixed(1)+' ('+s.min[i]+'–'+s.max[i]+') А':s.name+': —';});
  $('readout').textContent=dateText(t)+' '+timeText(t)+' · '+parts.join(' · ');
});
const sectionBox=$('section'), motorBox=$('motor');
setup.sections.forEach((s,i)=>sectionBox.add(new Option(s.name,i)));
function fillMotors(){motorBox.textContent=''; setup.sections[sectionBox.value].motors.forEach(([n,name])=>motorBox.add(new Option(name+' ('+n+')',n)));}
sectionBox.onchange=fillMotors;
$('add').onclick=()=>{const n=Number(motorBox.value); if(!picks.includes(n)&&picks.length<8){picks.push(n); if(!lines) lines=n; load();}};
$('period').onchange=()=>{period=$('period').value; [from,to]=span(from); load();};
$('back').onclick=()=>step(-1); $('forward').onclick=()=>step(1);
$('show').onclick=()=>{const f=parse($('from').value), t=parse($('to').value);
  if(!(t>f)){$('state').textContent='начало периода должно быть раньше его конца'; return;}
  [from,to]=[f,t]; period='range'; load();};
window.addEventListener('resize',()=>draw());
const q=new URLSearchParams(location.search);
picks=(q.get('channels')||'').split(',').map(Number).filter(n=>n>=1&&n<=72).filter((n,i,a)=>a.indexOf(n)===i).slice(0,8);
lines=picks.includes(Number(q.get('lines')))?Number(q.get('lines')):picks[0]||0;
if(['day','week','month','range'].includes(q.get('period'))) period=q.get('period');
const qf=parse(q.get('from')||''), qt=parse(q.get('to')||'');
if(!isNaN(qf)){from=qf; to=qt>qf?qt:from+DAY;}
if(period!=='range') [from,to]=span(from);
if(picks.length){sectionBox.value=String(Math.floor((picks[0]-1)/12));}
fillMotors(); load();
)";

const QByteArray kScript = "text/javascript; charset=utf-8";
const QByteArray kStyle = "text/css; charset=utf-8";

struct Asset {
    const char* Name;
    PageAsset Served;
    QString Link;
};

Asset Made(const char* name, const QByteArray& type, const QByteArray& body) {
    // The link changes with the content, so a browser may keep each for as long as it likes.
    const QByteArray print = QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex().left(12);
    return {
        name, {type, body}, QStringLiteral("/static/%1?v=%2").arg(QLatin1String(name), QLatin1String(print))};
}

const std::array<Asset, 8>& Assets() {
    static const std::array<Asset, 8> assets = {
        Made("panel.css", kStyle, kPanelStyle),
        Made("panel.js", kScript, kPanelScript),
        Made("table.css", kStyle, kTableStyle),
        Made("events.js", kScript, kEventsScript),
        Made("motor.css", kStyle, kMotorStyle),
        Made("motor.js", kScript, QByteArray(kValueTicks) + kMotorScript),
        Made("trend.css", kStyle, kTrendStyle),
        Made("trend.js", kScript, QByteArray(kValueTicks) + kTrendScript),
    };
    return assets;
}

} // namespace

const PageAsset* PageAssetAt(QStringView path) {
    if (!path.startsWith(QLatin1String("/static/")))
        return nullptr;
    for (const Asset& asset : Assets())
        if (path.mid(8) == QLatin1String(asset.Name))
            return &asset.Served;
    return nullptr;
}

QString PageAssetLink(const char* name) {
    for (const Asset& asset : Assets())
        if (qstrcmp(asset.Name, name) == 0)
            return asset.Link;
    return {};
}

} // namespace registrator::web
