#!/usr/bin/env bash
# Takes the guide's pictures from the real program under Xvfb: one simulation
# from the start screen to the summary, then the thinned-stand entry of a new
# simulation, the inventory window, and in a second run the forest plan on a
# small forest. Fails when a window does not appear as expected, so a broken
# screen breaks the build.
# Usage: tools/screenshots.sh [path/to/tavelo] [output folder]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "${1:-build/bin/tavelo}")
out=$(realpath -m "${2:-$here/../docs/images}")
mkdir -p "$out"
# shellcheck source=tools/xdrive.sh
source "$here/xdrive.sh"

work=$(mktemp -d)
cleanup() {
  [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null || true
  xdrive_stop_display
  rm -rf "$work"
}
trap cleanup EXIT

# The program runs from a folder of its own, so that its logs land there.
cp "$program" "$work/tavelo"
xdrive_start_display
(cd "$work" && HOME="$work" LANG=C.UTF-8 exec ./tavelo) >"$work/program.log" 2>&1 &
app_pid=$!

entrada=$(win "Tavelo - vs 2.0")
shot "$entrada" "$out/entrada.png"

menu 229
about=$(win "Tavelo vs 2.0")
shot "$about" "$out/acerca.png"
focus "$about"; keys Return
gone "Tavelo vs 2.0"

menu 65
form1=$(win "Opções do Modelo")
shot "$form1" "$out/opcoes.png"
focus "$form1"; keys alt+o
gone "Opções do Modelo"

# A planted stand, 12 years old, 9 m dominant height, 1500 trees planted.
menu 166
form2=$(win "Dados do Povoamento")
focus "$form2"; typ 12; keys Tab Tab; typ 9
shot "$form2" "$out/dados-povoamento.png"
keys Tab Tab space
form3=$(win "Dados do Povoamento não Desbastado")
focus "$form3"; keys space Tab; typ 1500
shot "$form3" "$out/nao-desbastado.png"
keys alt+o
gone "Dados do Povoamento não Desbastado"
focus "$form2"; keys alt+o

form5=$(win "Estrutura do Povoamento")
focus "$form5"; keys space            # Projectar sem desbaste
keys space                            # and once more: 22 years
shot "$form5" "$out/estrutura.png"
keys Tab Tab Tab space                # the diameter-class charts
form8=$(win "Características do povoamento")
shot "$form8" "$out/graficos.png"
focus "$form5"; gone "Características do povoamento"

# A mechanical thinning of 30 % of the trees.
keys shift+Tab shift+Tab space        # from the charts button back to Realizar desbaste
form6=$(win "Desbaste")
focus "$form6"; keys space; typ 30
shot "$form6" "$out/desbaste.png"
keys alt+o
form7=$(win "Estrutura do Povoamento após Desbaste")
shot "$form7" "$out/apos-desbaste.png"
focus "$form7"; keys Tab Tab Tab space
form9=$(win "Características do povoamento")
shot "$form9" "$out/graficos-desbaste.png"
focus "$form7"; gone "Características do povoamento"
keys shift+Tab shift+Tab shift+Tab space   # Projectar: the thinned stand 5 years on

# Terminar Simulação, then the summary.
form5=$(win "Estrutura do Povoamento")
focus "$form5"; keys Tab Tab Tab Tab space
terminar=$(win "Terminar Simulação")
shot "$terminar" "$out/terminar.png"
focus "$terminar"; keys space         # Gráfico e tabela de simulação
form10=$(win "Características Simuladas do Povoamento")
shot "$form10" "$out/resumo.png"
keys Tab space                        # Voltar ao ecran anterior
terminar=$(win "Terminar Simulação")
focus "$terminar"; keys Tab Tab Tab Tab Tab space   # Avaliação económica
economia=$(win "Avaliação Económica")
focus "$economia"
# Prices and costs in the order of the boxes, then Calcular.
for value in 45 30 8 250 400 4 15 1200 3; do typ "$value"; keys Tab; done
keys space
shot "$economia" "$out/economia-ecran.png"  # the guides show the worked example instead
# Procurar o melhor regime: last in the tab order, one back from the first price.
keys shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab
keys space
melhor=$(win "Procurar o Melhor Regime")
focus "$melhor"
# Rotation 30 to 42 years, at most 2 thinnings 10 years apart from 15 years on,
# mechanical 20 or 30 %, from below to 16 or 18 m2/ha; by VAL; then Procurar.
for value in 30 42 2 10 15 "20, 30" "16 18"; do typ "$value"; keys Tab; done
keys Tab space
sleep 4                               # the search of a few hundred regimes
shot "$melhor" "$out/melhor-regime.png"
focus "$melhor"; keys Escape
gone "Procurar o Melhor Regime"
focus "$economia"
# Voltar ao ecran anterior, bottom left (the charts take the tab stops before it).
xdotool mousemove --window "$economia" 60 654 click 1; sleep 0.4
terminar=$(win "Terminar Simulação")
focus "$terminar"; keys Tab space     # Balanço de carbono, right after Avaliação económica
carbono=$(win "Balanço de Carbono")
focus "$carbono"
# The factors of the guides' worked example in the order of the boxes, then Calcular.
for value in 0.44 1.3 0.29 0.5 35 25; do typ "$value"; keys Tab; done
keys space
shot "$carbono" "$out/carbono.png"
# Voltar ao ecran anterior, bottom left.
geometry=$(xdotool getwindowgeometry "$carbono" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
xdotool mousemove --window "$carbono" 60 $((geometry - 24)) click 1; sleep 0.4
terminar=$(win "Terminar Simulação")
focus "$terminar"; keys shift+Tab shift+Tab shift+Tab space   # Nova simulação, three before Balanço de carbono

# A stand thinned before, entered by its parameters.
entrada=$(win "Tavelo - vs 2.0")
menu 65
form1=$(win "Opções do Modelo")
focus "$form1"; keys alt+o
menu 166
form2=$(win "Dados do Povoamento")
focus "$form2"; typ 30; keys Tab Tab; typ 14; keys Tab space
form4=$(win "Dados do Povoamento Desbastado")
focus "$form4"; keys space Tab; typ 601; keys Tab; typ 22; keys Tab; typ 9; keys Tab; typ 31
shot "$form4" "$out/desbastado.png"

# Simulação de Inventário: twenty stands of a GeoPackage made with ogr2ogr,
# offered as the last files used; simulated, coloured by total volume, one
# stand clicked on the map.
{
  echo "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95,wkt"
  n=0
  for row in 0 1 2 3; do
    for col in 0 1 2 3 4; do
      n=$((n + 1)); x=$((col * 120)); y=$((row * 100))
      echo "T$n,$((10 + (n * 7) % 5)),$((6 + (n * 3) % 4)),,$((1100 + (n * 130) % 700)),,,,,,\"POLYGON (($x $y,$((x + 110)) $((y + 5)),$((x + 104)) $((y + 95)),$((x + 6)) $((y + 92)),$x $y))\""
    done
  done
} > "$work/talhoes.csv"
ogr2ogr -f GPKG -nlt POLYGON -nln stands -a_srs EPSG:3763 -oo AUTODETECT_TYPE=YES -oo GEOM_POSSIBLE_NAMES=wkt \
  -oo KEEP_GEOM_COLUMNS=NO "$work/talhoes.gpkg" "$work/talhoes.csv"
cat > "$work/regime.json" <<'JSON'
{"options": {"volumes": "com casca", "year": "2026"},
 "rules": {"maxAge": "45", "thinnings": {"firstAge": "15", "minInterval": "10", "when": [
   {"if": {"basalArea": {"above": "28"}}, "thin": "below", "residualBasalAreaPercent": "70"},
   {"if": {"trees": {"above": "1100"}}, "thin": "mechanical", "percent": "30"}]}},
 "economics": {"prices": {"sawlog": "45", "roundwood": "30", "firewood": "8"}, "discountRate": "3"}}
JSON
mkdir -p "$work/.config/Tavelo"
printf '[inventario]\nficheiro=%s\ncamada=stands\nregime=%s\n' "$work/talhoes.gpkg" "$work/regime.json" \
  >> "$work/.config/Tavelo/Tavelo.conf"
menu 329
inventario=$(win "Simulação de Inventário")
focus "$inventario"
xdotool mousemove --window "$inventario" 50 138 click 1; sleep 3          # Simular
xdotool mousemove --window "$inventario" 740 186 click 1; sleep 0.5       # Colorir por
keys Down Down Down Return; sleep 0.5                                     # Volume total
xdotool mousemove --window "$inventario" 680 420; sleep 0.3
xdotool click 1; sleep 0.8                                                # a stand
shot "$inventario" "$out/inventario.png"
focus "$inventario"; keys Escape
xdotool mousemove --window "$inventario" 948 677 click 1                  # Fechar
gone "Simulação de Inventário"

# Sair: the program ends and deletes its logs.
menu 272
for _ in $(seq 1 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then
  echo "the program did not end on Sair" >&2
  exit 1
fi
app_pid=""
if ls "$work"/*.temp >/dev/null 2>&1; then
  echo "Sair left log files behind" >&2
  exit 1
fi
# Plano Florestal: a second run of the program, its inventory window offering
# a forest of twenty stands with their areas; the plan's options remembered
# from the last session; planned, and the stand of the map's middle picked.
# Then, with money dearer (8 %), the front between value and carbon.
{
  echo "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95,area,wkt"
  n=0
  for row in 0 1 2 3; do
    for col in 0 1 2 3 4; do
      n=$((n + 1)); x=$((col * 120)); y=$((row * 100))
      shape="\"POLYGON (($x $y,$((x + 110)) $((y + 5)),$((x + 104)) $((y + 95)),$((x + 6)) $((y + 92)),$x $y))\""
      if [ $((n % 2)) = 1 ]; then   # planted stands, 10 to 14 years old
        echo "F$n,$((10 + (n % 3) * 2)),$((7 + n % 4)),,$((1300 + (n * 70) % 500)),,,,,,$((10 + (n % 4) * 5))e-1,$shape"
      else                          # stands thinned before, 22 to 37 years old
        echo "F$n,$((22 + (n % 6) * 3)),$((12 + n % 5)),,,,$((500 + (n * 37) % 300)),$((20 + (n % 5) * 2)),$((8 + n % 4)),$((28 + (n % 6) * 2)),$((10 + (n % 4) * 5))e-1,$shape"
      fi
    done
  done
} > "$work/floresta.csv"
ogr2ogr -f GPKG -nlt POLYGON -nln stands -a_srs EPSG:3763 -oo AUTODETECT_TYPE=YES -oo GEOM_POSSIBLE_NAMES=wkt \
  -oo KEEP_GEOM_COLUMNS=NO "$work/floresta.gpkg" "$work/floresta.csv"
cp "$here/../examples/plan-space.json" "$here/../examples/plan-economics.json" "$work/"
sed 's/"discountRate": "3"/"discountRate": "8"/' "$here/../examples/plan-economics.json" > "$work/plan-economics-8.json"
printf '[inventario]\nficheiro=%s\ncamada=stands\n[plano]\ntxtCandidatos=%s\ntxtEconomia=%s\ntxtHorizonte=30\ncboFluxo=2\n' \
  "$work/floresta.gpkg" "$work/plan-space.json" "$work/plan-economics.json" > "$work/.config/Tavelo/Tavelo.conf"
(cd "$work" && HOME="$work" LANG=C.UTF-8 exec ./tavelo) >"$work/program.log" 2>&1 &
app_pid=$!
entrada=$(win "Tavelo - vs 2.0")
menu 329
inventario=$(win "Simulação de Inventário")
focus "$inventario"
xdotool mousemove --window "$inventario" 292 677 click 1                  # Plano florestal...
plano=$(win "Plano Florestal")
focus "$plano"
xdotool mousemove --window "$plano" 50 279 click 1; sleep 4              # Planear
xdotool mousemove --window "$plano" 700 537 click 1; sleep 0.8           # a stand on the map
xdotool mousemove --window "$plano" 893 647 click 1; sleep 0.5           # Ajustar
shot "$plano" "$out/plano.png"
xdotool mousemove --window "$plano" 380 363 click 1; sleep 0.8           # Gráfico da colheita
shot "$plano" "$out/plano-colheita.png"
focus "$plano"
xdotool mousemove --window "$plano" 650 98 click 1                        # the economics file
keys ctrl+a; typ "$work/plan-economics-8.json"
xdotool mousemove --window "$plano" 429 211 click 1                       # Frente valor-carbono
xdotool mousemove --window "$plano" 50 279 click 1; sleep 6              # Planear
shot "$plano" "$out/plano-frente.png"
focus "$plano"
xdotool mousemove --window "$plano" 948 677 click 1                       # Fechar
gone "Plano Florestal"
focus "$inventario"
xdotool mousemove --window "$inventario" 948 677 click 1                  # Fechar
gone "Simulação de Inventário"
menu 272
for _ in $(seq 1 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then
  echo "the program did not end on Sair" >&2
  exit 1
fi
app_pid=""

echo "screenshots in $out:"
ls "$out"
