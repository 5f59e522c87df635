#!/usr/bin/env bash
# The shipped scenarios play headless from their map lines up to the last
# weeks of the first year. For each: the transport mode of its table line
# earns money and the company's money is the start money plus the year's
# bookings; every vehicle is seen heading for each stop of its schedule at
# the save points of a run played in pieces (saved and loaded between
# them), whose end has the same world hash as a run straight through in
# another process; selling the vehicles frees every station slot and
# reservation they held.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"

# scenario file in gamedata/scenarios, mode that must earn (mdtool company's name);
# the post van of road_mail carries nothing but mail, so its earnings are mail
# delivered
scenarios="
road_bus.txt road
water_ferry.txt water
road_goods.txt road
air_plane.txt air
road_mail.txt road
"
pieces=5
piece_ticks=7000
start_money=1000000

check() {
    local file=gamedata/scenarios/$1 mode=$2 w="$work/${1%.txt}"
    mkdir -p "$w"
    local options
    options=$(sed -n '1s/^# map: //p' "$file")
    [ -n "$options" ] || { fail "$1: no map line"; return; }
    local ticks=$((pieces * piece_ticks))
    # shellcheck disable=SC2086
    MALLOC_PERTURB_=165 "$game" --headless --new $options --script "$file" --ticks $ticks \
        --save "$w/straight.mds" >/dev/null 2>&1 || { fail "$1: straight run: exit $?"; return; }

    # The run in pieces, the vehicles listed at each save point.
    # shellcheck disable=SC2086
    "$game" --headless --new $options --script "$file" --ticks $piece_ticks --save "$w/1.mds" \
        >/dev/null 2>&1 || { fail "$1: first piece: exit $?"; return; }
    "$tool" vehicle list "$w/1.mds" > "$w/seen" || fail "$1: vehicle list: exit $?"
    local i
    for i in $(seq 2 $pieces); do
        "$game" --headless --load "$w/$((i - 1)).mds" --ticks $piece_ticks --save "$w/$i.mds" \
            >/dev/null 2>&1 || { fail "$1: piece $i: exit $?"; return; }
        "$tool" vehicle list "$w/$i.mds" >> "$w/seen"
    done
    # The pieces ran in other processes than the straight run, with other
    # heap contents.
    local straight pieced
    straight=$("$tool" game hash "$w/straight.mds")
    pieced=$("$tool" game hash "$w/$pieces.mds")
    [ -n "$straight" ] && [ "$straight" = "$pieced" ] ||
        fail "$1: saved and loaded pieces differ from the straight run: $pieced, $straight"

    # Income by mode and the bookings.
    local out money sum earned
    out=$("$tool" company "$w/straight.mds") || { fail "$1: company: exit $?"; return; }
    money=$(echo "$out" | sed -n 's/^player 0 money \(-\?[0-9]*\) loan 0$/\1/p')
    sum=$(echo "$out" | awk '/^player 0 /{p=1; next} /^player /{p=0} p && $1 == "sum" {print $2}')
    earned=$(echo "$out" | awk -v m="$mode" '/^player 0 /{p=1; next} /^player /{p=0}
        p && $1 == "stop" { for (i = 3; i < NF; i += 2) if ($i == m) print $(i + 1) }')
    [ -n "$money" ] && [ -n "$sum" ] && [ -n "$earned" ] || { fail "$1: company printed:
$out"; return; }
    [ "$((start_money + sum))" = "$money" ] || fail "$1: money $money is not the start money and the bookings ($sum)"
    [ "$earned" -gt 0 ] || fail "$1: the $mode vehicles earned nothing:
$out"
    echo "$out" | awk '/^player 0 /{p=1; next} /^player /{p=0} p && $1 == "income" {exit !($2 > 0)}' ||
        fail "$1: no income booked:
$out"

    # Every vehicle heads for each of its schedule's stops at some save point.
    local schedules vehicles v
    schedules=$("$tool" schedule list "$w/straight.mds")
    vehicles=$(awk '$1 == "vehicle" && $8 == 0 {print $2}' "$w/seen" | sort -u)
    [ -n "$vehicles" ] || fail "$1: the company has no vehicles"
    for v in $vehicles; do
        local schedule stops seen
        schedule=$(awk -v v="$v" '$2 == v {print $16; exit}' "$w/seen")
        stops=$(echo "$schedules" | awk -v s="$schedule" '$1 == "schedule" && $2 == s {print $6}')
        seen=$(awk -v v="$v" '$2 == v {print $NF}' "$w/seen" | sort -u | tr '\n' ' ')
        [ -n "$stops" ] && [ "$seen" = "$(seq -s ' ' 0 $((stops - 1))) " ] ||
            fail "$1: vehicle $v of schedule $schedule ($stops stops) headed only for stops $seen"
    done

    # Selling every vehicle frees what it held at the stations.
    : > "$w/sell.txt"
    for v in $vehicles; do echo "1 p0 SellVehicleCommand $v 0" >> "$w/sell.txt"; done
    "$game" --headless --load "$w/$pieces.mds" --script "$w/sell.txt" --ticks 5 --save "$w/sold.mds" \
        >/dev/null 2>&1 || { fail "$1: selling: exit $?"; return; }
    [ -z "$(awk '$1 == "vehicle" && $8 == 0' <("$tool" vehicle list "$w/sold.mds"))" ] ||
        fail "$1: vehicles are left after selling"
    local held
    held=$("$tool" station list "$w/sold.mds" --slots | grep ' owner 0 ' | grep -v 'vehicles 0 reserved 0 busy 0$')
    [ -z "$held" ] || fail "$1: sold vehicles still hold station slots:
$held"
}

while read -r file mode; do
    [ -n "$file" ] && check "$file" "$mode"
done <<< "$scenarios"
finish
