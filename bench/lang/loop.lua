local start = os.clock()
local i = 0
local sum = 0
while i < 10000000 do
    sum = sum + i
    i = i + 1
end
print(sum, os.clock() - start)
