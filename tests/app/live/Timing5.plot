set output 'Timing5.svg
set terminal svg
set multiplot
set grid
set title "Clients duration"
set xlabel "audio cycles"
set ylabel "usec"
plot "/tmp/live_probe_cm4q_vw5/prof.log" using 10 title "parec/48" with lines, "/tmp/live_probe_cm4q_vw5/prof.log" using 18 title "paplay/49" with lines
unset multiplot
unset output
