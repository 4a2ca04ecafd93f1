#!/usr/bin/env bash
# Runs two builds of jasokit on the same inputs, every command and option mix
# and the service, and compares what they write byte for byte: for a change
# that must not change behaviour (a move, a refactor).
#   tools/differential.sh OLD_JASOKIT NEW_JASOKIT [OUT_DIR]
# Inputs are drawn from the shared data folder (JASOKIT_TEST_DATA_DIR,
# default ../shared/data); without it the run is skipped (exit 77).
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
if [[ $# -lt 2 ]]; then sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 2; fi
A=$(realpath "$1"); B=$(realpath "$2"); OUT=${3:-$(mktemp -d)}
D=${JASOKIT_TEST_DATA_DIR:-$here/../shared/data}
[[ -f $D/zipcode-source.csv && -f $D/korea-post/seoul-gangnam-2023-part1.txt ]] || { echo "differential: no data in $D" >&2; exit 77; }
rm -rf "$OUT"; mkdir -p "$OUT/a" "$OUT/b"
T=$OUT/in; mkdir -p $T
# inputs
python3 - "$T" "$D" <<'PY'
import csv, sys, random, zipfile, io
T=sys.argv[1]; D=sys.argv[2]; random.seed(7)
rows=list(csv.reader(open(D+'/zipcode-source.csv', encoding='utf-8')))[1:]
sample=random.sample(rows, 4000)
with open(T+'/addr.txt','w') as f:
    for r in sample:
        f.write(' '.join(x for x in r[1:7] if x)+'\n')
with open(T+'/names.txt','w') as f:
    for r in sample[:3000]: f.write(r[3]+'\n')
with open(T+'/codes.txt','w') as f:
    for r in sample[:1000]: f.write(r[0]+'\n')
kp=[l.rstrip('\n').split('|') for l in open(D+'/korea-post/seoul-gangnam-2023-part1.txt',encoding='utf-8-sig')][1:]
with open(T+'/road.txt','w') as f:
    for r in kp:
        num=r[11]+('-'+r[12] if r[12]!='0' else '')
        f.write('%s %s %s %s\n'%(r[1],r[3],r[8],num))
        f.write('(%s) %s %s %s %s, 3층\n'%(r[0],r[1],r[3],r[8],num))
        f.write('%s %s %s %s\n'%(r[1],r[3],r[17],r[21]))
with open(T+'/q.txt','w') as f:
    for r in kp[:800]:
        f.write('%s %s\n'%(r[8],r[11])); f.write(r[0]+'\n'); f.write(r[17]+' '+r[21]+'\n')
        if r[15]: f.write(r[15]+'\n')
with open(T+'/people.csv','w') as f:
    f.write('name,address\r\n')
    for r in sample[:500]: f.write('"김 민수",%s\r\n'%(' '.join(x for x in r[1:7] if x)))
with open(T+'/persons.txt','w') as f:
    for n in ['김민수','이영희','박지성','선우용녀','남궁민','황보관','최','제갈량']: f.write(n+'\n')
PY
iconv -f utf-8 -t cp949 -c $T/addr.txt > $T/addr949.txt
run() { # name, args...
  local n=$1; shift
  for side in a b; do
    local bin=$A; [[ $side == b ]] && bin=$B
    ( cd "$OUT/$side" && "$bin" "$@" < "${STDIN:-/dev/null}" > "$n.out" 2> "$n.err"; echo $? > "$n.rc" )
  done
}
for style in classic official; do
  STDIN=$T/addr.txt run conv-$style convert --style $style
  STDIN=$T/addr.txt run convj-$style convert --style $style --json
  STDIN=$T/addr.txt run convt-$style convert --style $style --tsv -j 2
  STDIN=$T/road.txt run road-$style convert --style $style --json
  STDIN=$T/addr949.txt run c949-$style convert --style $style --cp949
  STDIN=$T/people.csv run csv-$style convert --csv --header --column address --style $style
  STDIN=$T/people.csv run csvip-$style convert --csv --header --column 2 --in-place --style $style
  STDIN=$T/addr.txt run rom-$style romanize --style $style
done
STDIN=$T/road.txt run road-country convert --style official --country S.KOREA
STDIN=$T/names.txt run zip zip --db $D/zipcode030101t6.dbf
STDIN=$T/names.txt run zipj zip --db $D/zipcode030101t6.dbf --json --convert --style official
STDIN=$T/names.txt run zipp zip --db $D/zipcode030101t6.dbf --prefix
STDIN=$T/codes.txt run zipc zip --db $D/zipcode030101t6.dbf --code --json
STDIN=$T/names.txt run zipsample zip
STDIN=$T/persons.txt run name romanize --name --json
STDIN=$T/persons.txt run name2 romanize --name --surname rr --hyphen --upper --given-first
run help --help
for c in convert romanize zip zipdb lookup addrdb serve; do run help-$c $c --help; done
run bad convert --nope
run zipdb zipdb build $D/zipcode-source.csv -o zip.dbf
run addrdb addrdb build $D/korea-post/seoul-gangnam-2023-part1.txt $D/korea-post/Sejong.zip -o a.db
run addrinfo addrdb info a.db
STDIN=$T/q.txt run lookup lookup --addrdb a.db
STDIN=$T/q.txt run lookupj lookup --addrdb a.db --json
STDIN=$T/road.txt run convdb convert --style official --json --addrdb a.db 2>/dev/null
cd $OUT
# databases written carry no path or time that differs? compare bytes
bad=0
for f in a/*; do n=$(basename "$f"); if ! cmp -s "a/$n" "b/$n"; then echo "differs: $n"; bad=1; fi; done
# the service: same requests to both
for side in a b; do
  bin=$A; [[ $side == b ]] && bin=$B
  port=$((18000 + RANDOM % 1000))
  (cd $OUT/$side && exec "$bin" serve --listen 127.0.0.1:$port --addrdb a.db > serve.log 2>&1) &
  pid=$!; sleep 0.7
  python3 - $port $OUT/$side $T <<'PY'
import sys, urllib.request, json, urllib.parse
port, out, T = sys.argv[1], sys.argv[2], sys.argv[3]
base='http://127.0.0.1:%s'%port
res=[]
def get(p):
    try:
        r=urllib.request.urlopen(base+p, timeout=5); return '%d %s'%(r.status, r.read().decode('utf-8','replace'))
    except urllib.error.HTTPError as e: return '%d %s'%(e.code, e.read().decode('utf-8','replace'))
def post(p, body, ct='application/json'):
    req=urllib.request.Request(base+p, data=body.encode(), headers={'Content-Type':ct})
    try:
        r=urllib.request.urlopen(req, timeout=10); return '%d %s'%(r.status, r.read().decode('utf-8','replace'))
    except urllib.error.HTTPError as e: return '%d %s'%(e.code, e.read().decode('utf-8','replace'))
lines=open(T+'/road.txt').read().splitlines()[:300]+open(T+'/addr.txt').read().splitlines()[:300]
for l in lines[:200]:
    for st in ('classic','official'):
        res.append(get('/v1/convert?style=%s&text=%s'%(st, urllib.parse.quote(l))))
res.append(post('/v1/convert', json.dumps({'texts':lines,'style':'official'})))
res.append(post('/v1/convert', json.dumps({'texts':lines})))
for q in open(T+'/names.txt').read().splitlines()[:100]:
    res.append(get('/v1/zip?name='+urllib.parse.quote(q)))
for q in open(T+'/q.txt').read().splitlines()[:100]:
    res.append(get('/v1/lookup?q='+urllib.parse.quote(q)))
for p in ['/', '/nope', '/v1/convert', '/v1/convert?text=', '/v1/name?name=%EA%B9%80%EB%AF%BC%EC%88%98']:
    res.append(get(p))
h=get('/healthz'); res.append(h)
open(out+'/service.out','w').write('\n'.join(res))
PY
  kill $pid; wait $pid 2>/dev/null
done
# The page's nonce is new for every answer.
nonce='s/nonce[=-]"?[A-Za-z0-9+\/=]+/NONCE/g'
if ! cmp -s <(sed -E "$nonce" a/service.out) <(sed -E "$nonce" b/service.out); then echo "differs: the service's answers"; bad=1; fi
echo "differential: $(ls a | wc -l) outputs and the service compared in $OUT: $([[ $bad == 0 ]] && echo same || echo DIFFERENT)"
exit $bad
